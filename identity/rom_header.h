// The 64-byte header at the start of a big-endian ROM image, and the texts its fields are
// shown with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The header's length: a shorter image has none.
constexpr std::size_t kHeaderSize = 0x40;

// The fields of the header, as stored (words read big-endian).
struct RomHeader {
    std::uint32_t clockRate = 0;    // 0x04
    std::uint32_t entryPoint = 0;   // 0x08, where the boot code jumps to
    std::uint32_t libultra = 0;     // 0x0C, the libultra release the game was built with
    std::uint32_t crc1 = 0;         // 0x10, first half of the check code
    std::uint32_t crc2 = 0;         // 0x14, second half
    unsigned char name[20] = {};    // 0x20, the internal name, padded with spaces or zeros
    unsigned char category = 0;     // 0x3B, the media: 'N' cartridge, 'D' disk, ...
    unsigned char cartridgeId[2] = {}; // 0x3C, two letters naming the game
    unsigned char region = 0;       // 0x3E, the destination code
    unsigned char revision = 0;     // 0x3F, 0 for the first release
};

// The big-endian 32-bit word at p (inline: the check code reads a quarter of a million).
inline std::uint32_t bigEndianWord(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// Reads the header of a big-endian image of size bytes; false when the image is shorter.
bool readHeader(const unsigned char* image, std::size_t size, RomHeader& header);

// What a destination code stands for.
struct RegionFacts {
    const char* name;  // "USA", "Europe", ...; "unknown" for a code no source lists
    const char* video; // "NTSC", "PAL", "disputed" (sources disagree) or "" (none or unknown)
};

// The facts of the destination code at 0x3E.
RegionFacts regionFacts(unsigned char code);

// The name of the media code at 0x3B ("cartridge", "64DD disk", ...; "unknown" otherwise).
const char* categoryName(unsigned char code);

// Bytes of a header text made readable and kept whole, as valid UTF-8: printable ASCII as it
// is, a backslash doubled, the single-byte katakana of JIS X 0201 (0xA1-0xDF) as their
// Unicode half-width forms, and every other byte as an escape (\t, \n, \r, else \xNN), as
// file names are shown. Trailing spaces and zero bytes are dropped.
std::string headerText(const unsigned char* bytes, std::size_t n);

// The game code: category, cartridge ID and destination, the four bytes at 0x3B as text
// (see headerText); empty when all four are zero, as in homebrew.
std::string gameCode(const RomHeader& header);

// The libultra release as its name ("2.0L": byte 0x0E is 20, byte 0x0F the letter), or empty
// when the field does not have that form.
std::string libultraName(std::uint32_t libultra);
