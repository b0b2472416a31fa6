// The boot chip (CIC) a ROM was made for, recognised from its boot code, and how each chip
// family computes the header's check code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Where the boot code lies in a big-endian image: from the end of the header to 0x1000.
constexpr std::size_t kBootCodeStart = 0x40;
constexpr std::size_t kBootCodeEnd = 0x1000;

// The boot chip families. Chips that share boot code and check code (6102 and 7101, the
// PAL twins 7103, 7105, 7106) are one family.
enum class BootChip {
    Unknown,
    Cic6101,
    Cic7102,
    Cic6102, // and 7101
    Cic6103, // and 7103
    Cic6105, // and 7105
    Cic6106, // and 7106
    Cic5101, // Aleck64
    Cic8303, // 64DD IPL
    IQue     // iQue Player
};

// The name shown for a family, e.g. "6102/7101"; "unknown" for Unknown.
const char* bootChipName(BootChip chip);

// The family the boot code of a big-endian image of size bytes was written for, recognised
// from the CRC-32 of bytes 0x40 to 0xFFF, which bootCrc gets (0 when the image is shorter
// than the boot code; the chip is then Unknown).
BootChip recogniseBootChip(const unsigned char* image, std::size_t size, std::uint32_t& bootCrc);

// The family a name given by the user stands for: the number of a chip whose check code is
// known, such as "6102" or "7105", optionally after "CIC" or "CIC-NUS-", in any letter
// case. False for anything else.
bool parseBootChip(const std::string& text, BootChip& chip);
