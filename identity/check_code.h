// The header's check code (CRC1, CRC2): computed as the boot code of each chip family
// computes it before it starts the game.
#pragma once

#include <cstddef>
#include <cstdint>

#include "identity/boot_chip.h"

// Where the checked data starts, and how much of it the usual boot code checks.
constexpr std::size_t kCheckedStart = 0x1000;
constexpr std::size_t kCheckedLength = 0x100000;

// The Aleck64 boot code checks more when the game starts at this address.
constexpr std::uint32_t kAleckLongEntryPoint = 0x80100400;
constexpr std::size_t kAleckLongLength = 0x3FE000;

// The two halves of a check code.
struct CheckCode {
    std::uint32_t crc1 = 0;
    std::uint32_t crc2 = 0;
};

// The number of bytes from kCheckedStart that the boot code of chip checks, given the
// header's entry point; 0 for a family whose check code is not known (8303, Unknown).
std::size_t checkedLength(BootChip chip, std::uint32_t entryPoint);

// Computes the check code of a big-endian image of size bytes (at least kBootCodeEnd) as the
// boot code of chip does, over checkedLength(chip, entryPoint) bytes from kCheckedStart;
// bytes beyond the image's end count as zero. False for a chip whose check code is not known.
bool computeCheckCode(BootChip chip, const unsigned char* image, std::size_t size, std::uint32_t entryPoint,
                      CheckCode& code);
