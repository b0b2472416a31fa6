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

// What one sector of a ROM under conversion is.
enum class SectorFit {
    Old,  // in the old state (a sector alike in both counts as old)
    New,  // in the new state
    Torn, // torn between the two at a group boundary
    None  // in neither: not the ROM the record was made for, or changed since
};

// Finds the state of one sector whose old image had check oldCheck (made as kind says), and
// that old image.
SectorFit fitOfSector(const unsigned char* sector, std::size_t size, std::uint32_t oldCheck, ByteOrder from,
                      ByteOrder to, unsigned char* old, SectorCheckKind kind = SectorCheckKind::Crc32c);

// Finds the old image of one sector whose old image had check oldCheck, in a conversion from
// one order to the other: the sector as it is, converted back, or torn between the two at a
// group boundary (new start and old end, or the other way round). False when none fits.
bool oldImageOfSector(const unsigned char* sector, std::size_t size, std::uint32_t oldCheck, ByteOrder from,
                      ByteOrder to, unsigned char* old, SectorCheckKind kind = SectorCheckKind::Crc32c);

// What a look at every sector of a ROM (or every replaced byte) against its record found.
struct RomSurvey {
    std::int64_t oldSectors = 0;      // in the old state
    std::int64_t newSectors = 0;      // in the new state
    std::int64_t tornSectors = 0;     // torn between the two
    std::int64_t firstUnfit = -1;     // where the first sector in neither state starts, or -1
    std::int64_t firstUnchecked = -1; // where the first sector whose check is damaged starts, or -1
    std::int64_t lastUnchecked = -1;  // and the last
    // Whether every sector could be told, and is in one of the record's states.
    bool fits() const { return firstUnfit < 0 && firstUnchecked < 0; }
    // Whether any sector shows that the update began.
    bool touched() const { return newSectors + tornSectors > 0; }
};

// Reads the whole ROM and sorts each sector by the record, writing nothing: an update is
// settled only when every sector fits. buffer holds kSettleSlice bytes.
bool surveyRom(FileHandle rom, RecoveryRecord& record, const RecordContents& contents, unsigned char* buffer,
               RomSurvey& survey, std::string& reason);

// Brings the first reach bytes of the open ROM to one whole state: the new one (forward) or
// the old one, as the record's contents say, and makes it durable. buffer holds
// kSettleSlice bytes. wrote tells whether any byte had to change. False with reason set when
// a read or write fails or a sector fits neither state (the record then stays).
bool settleRom(FileHandle rom, RecoveryRecord& record, const RecordContents& contents, bool forward,
               std::int64_t reach, unsigned char* buffer, bool& wrote, std::string& reason);
