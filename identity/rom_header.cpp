#include "identity/rom_header.h"

#include <cstdio>

#include "core/shown_text.h"

namespace {

// One destination code and what it stands for.
struct RegionEntry {
    unsigned char code;
    RegionFacts facts;
};

// The union of the codes the catalogues and emulators list. 'C' is PAL for some sources and
// NTSC for others.
const RegionEntry kRegions[] = {
    {0x00, {"none", ""}},
    {'7', {"beta", "NTSC"}},
    {'A', {"Japan and USA", "NTSC"}},
    {'B', {"Brazil", "NTSC"}},
    {'C', {"China", "disputed"}},
    {'D', {"Germany", "PAL"}},
    {'E', {"USA", "NTSC"}},
    {'F', {"France", "PAL"}},
    {'G', {"Gateway 64 (NTSC)", "NTSC"}},
    {'H', {"Netherlands", "PAL"}},
    {'I', {"Italy", "PAL"}},
    {'J', {"Japan", "NTSC"}},
    {'K', {"South Korea", "NTSC"}},
    {'L', {"Gateway 64 (PAL)", "PAL"}},
    {'N', {"Canada", "NTSC"}},
    {'P', {"Europe", "PAL"}},
    {'S', {"Spain", "PAL"}},
    {'U', {"Australia", "PAL"}},
    {'W', {"Scandinavia", "PAL"}},
    {'X', {"Europe (PAL regions)", "PAL"}},
    {'Y', {"Europe (PAL regions)", "PAL"}},
    {'Z', {"Europe", "PAL"}},
};

// Appends the UTF-8 form of a code point below U+10000.
void appendUtf8(std::string& text, unsigned int codePoint) {
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        text += static_cast<char>(0xC0 | (codePoint >> 6));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | (codePoint >> 12));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Appends one header byte as headerText shows it. Each byte maps to one unambiguous piece,
// so the original bytes can always be told back.
void appendByteText(std::string& text, unsigned char b) {
    if (b >= 0xA1 && b <= 0xDF)
        appendUtf8(text, 0xFF61 + (b - 0xA1)); // half-width katakana
    else
        appendShownAscii(text, b); // as file names are shown
}

} // namespace

bool readHeader(const unsigned char* image, std::size_t size, RomHeader& header) {
    header = RomHeader();
    if (size < kHeaderSize) return false;
    header.clockRate = bigEndianWord(image + 0x04);
    header.entryPoint = bigEndianWord(image + 0x08);
    header.libultra = bigEndianWord(image + 0x0C);
    header.crc1 = bigEndianWord(image + 0x10);
    header.crc2 = bigEndianWord(image + 0x14);
    for (std::size_t i = 0; i < sizeof header.name; ++i) header.name[i] = image[0x20 + i];
    header.category = image[0x3B];
    header.cartridgeId[0] = image[0x3C];
    header.cartridgeId[1] = image[0x3D];
    header.region = image[0x3E];
    header.revision = image[0x3F];
    return true;
}

RegionFacts regionFacts(unsigned char code) {
    for (const RegionEntry& entry : kRegions)
        if (entry.code == code) return entry.facts;
    return {"unknown", ""};
}

const char* categoryName(unsigned char code) {
    switch (code) {
    case 'N': return "cartridge";
    case 'C': return "cartridge of an expandable game";
    case 'D': return "64DD disk";
    case 'E': return "64DD expansion disk";
    case 'Z': return "Aleck64 cartridge";
    default: return "unknown";
    }
}


std::string headerText(const unsigned char* bytes, std::size_t n) {
    while (n > 0 && (bytes[n - 1] == ' ' || bytes[n - 1] == 0)) --n;
    std::string text;
    for (std::size_t i = 0; i < n; ++i) appendByteText(text, bytes[i]);
    return text;
}

// Spaces and zeros count here: every one of the four bytes is shown.
std::string gameCode(const RomHeader& header) {
    const unsigned char code[4] = {header.category, header.cartridgeId[0], header.cartridgeId[1], header.region};
    if ((code[0] | code[1] | code[2] | code[3]) == 0) return std::string();
    std::string text;
    for (unsigned char b : code) appendByteText(text, b);
    return text;
}

std::string libultraName(std::uint32_t libultra) {
    const unsigned int release = (libultra >> 8) & 0xFF;
    const char letter = static_cast<char>(libultra & 0xFF);
    if ((libultra >> 16) != 0 || release < 10 || release > 99 || letter < 'A' || letter > 'Z') return std::string();
    char text[8];
    std::snprintf(text, sizeof text, "%u.%u%c", release / 10, release % 10, letter);
    return text;
}
