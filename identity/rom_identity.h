// What a ROM file is: its order, size, header, boot chip, whether its check code holds, and
// the digests of its big-endian image. Found from one read of the file, which is opened for
// reading only and never changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "identity/boot_chip.h"
#include "core/byte_order.h"
#include "core/byte_source.h"
#include "identity/check_code.h"
#include "identity/image_digests.h"
#include "identity/rom_header.h"

// Whether the header's check code was confirmed.
enum class CheckVerdict {
    Ok,         // the computed code equals the header's
    Mismatch,   // it does not
    NotVerified // it could not be computed: see NotVerifiedReason
};

// Why a check code could not be verified.
enum class NotVerifiedReason {
    None,
    OrderUnknown,   // the first byte names no byte order
    ShortFile,      // the file is shorter than the boot code (0x1000 bytes)
    UnknownBootCode,// the boot code is not one of the known chips', and none was forced
    NoAlgorithm     // the chip's check code is not known (64DD IPL)
};

// The outcome of checking the header's code.
struct CheckResult {
    CheckVerdict verdict = CheckVerdict::NotVerified;
    NotVerifiedReason reason = NotVerifiedReason::None;
    BootChip chip = BootChip::Unknown; // the chip the code was computed for
    bool forced = false;               // that chip was given by the caller, not recognised
    CheckCode header;                  // as stored at 0x10
    CheckCode computed;                // valid for Ok and Mismatch
    std::size_t checkedEnd = 0;        // the checked bytes end here (for Ok and Mismatch)
    bool padded = false;               // the file ends before checkedEnd: zeros were added
};

// Everything found about one ROM file.
struct RomIdentity {
    std::int64_t size = 0;                 // of the file, in bytes
    ByteOrder order = ByteOrder::None;     // None: first byte not recognised, or empty file
    bool hasHeader = false;                // the file is at least kHeaderSize long
    RomHeader header;
    bool hasBootCode = false;              // the file is at least kBootCodeEnd long
    BootChip recognisedChip = BootChip::Unknown;
    std::uint32_t bootCodeCrc32 = 0;       // CRC-32 of bytes 0x40 to 0xFFF
    CheckResult check;
    bool hasDigests = false;               // asked for, and computed
    OrderedDigests digests;                // of the whole file brought to each order asked for
};

// What to find.
struct IdentifyOptions {
    // The digests of the whole image brought to each order (by orderSlot): by default the
    // three of the big-endian image, which catalogues list. None at all: only what the check
    // needs is read. A file of unknown order is taken as it is and gets, in the big-endian
    // slot, every digest asked for in any slot.
    DigestSet digests[kOrderSlots] = {DigestSet::all(), DigestSet(), DigestSet()};
    BootChip forcedChip = BootChip::Unknown; // compute the check code for this chip instead
};

// The most of a file the check needs: up to the end of the Aleck64 chip's longest checked
// range.
constexpr std::size_t kCheckReadLimit = kCheckedStart + kAleckLongLength;

// The size in Mbit (2^20 bits) of a file of size bytes, as ROM sizes are counted.
double sizeInMbit(std::int64_t size);

// Finds the header, the boot chip and the check of the big-endian image of size bytes (the
// first bytes of the file, at least kCheckReadLimit of them when the file is longer), for
// identity, whose order and size are those of the file, already set. forcedChip as in
// IdentifyOptions.
void identifyImage(const unsigned char* image, std::size_t size, BootChip forcedChip, RomIdentity& identity);

// Reads the file at path and finds what options ask for about it. The image is brought to
// big-endian in memory with the conversion's passes, piece by piece as it is read, and each
// piece passes through the other orders asked for on the way (the file is never changed); a
// file whose order is not recognised is taken as it is. False with reason set when the file cannot be read (a folder, a
// device, missing, unreadable, 2 GiB or larger) or a digest fails.
bool identifyRom(const std::string& path, const IdentifyOptions& options, RomIdentity& identity,
                 std::string& reason);

// The same for a stream read once to its end (an entry of an archive, unpacked as it is
// read): the identity is that of a file holding the same bytes.
bool identifyRom(ByteSource& source, const IdentifyOptions& options, RomIdentity& identity, std::string& reason);

// Finds the header, boot chip and check code of an image already in memory, brought to
// big-endian from order (the file's order, which identity records); no digests.
void identifyBigEndianImage(const unsigned char* image, std::size_t size, ByteOrder order, RomIdentity& identity);

