// Bringing a ROM whose update was stopped back to one whole state, from its recovery record:
// forward to the end of the update, or back to where it began.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/byte_order.h"
#include "core/file_ops.h"
#include "core/recovery_record.h"

// The bytes of the ROM settled at a time; the buffer given to settleRom holds this many.
constexpr std::size_t kSettleSlice = std::size_t(1) << 20;

// Finds the old image of one sector whose old image had check oldCheck, in a conversion from
// one order to the other: the sector as it is, converted back, or torn between the two at a
// group boundary (new start and old end, or the other way round). False when none fits.
bool oldImageOfSector(const unsigned char* sector, std::size_t size, std::uint32_t oldCheck, ByteOrder from,
                      ByteOrder to, unsigned char* old);

// Brings the first reach bytes of the open ROM to one whole state: the new one (forward) or
// the old one, as the record's contents say, and makes it durable. buffer holds
// kSettleSlice bytes. wrote tells whether any byte had to change. False with reason set when
// a read or write fails or a sector fits neither state (the record then stays).
bool settleRom(FileHandle rom, RecoveryRecord& record, const RecordContents& contents, bool forward,
               std::int64_t reach, unsigned char* buffer, bool& wrote, std::string& reason);
