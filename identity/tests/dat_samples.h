// DAT files for the tests, written here in both formats: the real ROM's digests in each
// order, names with commas and parentheses, bad dumps, and filler entries around them.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// One ROM as a sample DAT lists it; an empty field is left out.
struct SampleRom {
    std::string game;
    std::string name;
    std::string size;
    std::string crc, md5, sha1;
    std::string status; // "baddump", "verified", ...
    std::string serial;
};

// The real ROM's digests, by rhash, of the file as stored (v64), of its big-endian image
// (dd conv=swab) and of its little-endian image (objcopy --reverse-bytes=4 of the latter).
struct RealDigests {
    const char* crc;
    const char* md5;
    const char* sha1;
};
const RealDigests kRealV64{"DEBB8F5E", "9C6F1238C25037A8A187757EBF50EAC9", "D999886F488790806F21144C130ECDB41D477277"};
const RealDigests kRealBig{"F114490F", "DBF04773EC2B8ADF8A94DB7E3E461138", "42DFD5942C650C473DEC3A415BA185E2597773F4"};
const RealDigests kRealLittle{"8162BFEF", "36149D55F9EB566B3EF75A9E85C7BECE",
                              "709A8DE37C4979907948F01768ECD307F7D47FEF"};

// The real ROM as a DAT entry of a game of that name, its ROM named name.
inline SampleRom realRomEntry(const std::string& game, const std::string& name, const RealDigests& d,
                              const std::string& status = "verified") {
    return {game, name, "1048576", d.crc, d.md5, d.sha1, status, "NDEM"};
}

// n filler entries with digests no real file has (hex of the entry's number), each a ROM
// of 8 MiB called "Filler NNN (World).z64".
inline std::vector<SampleRom> fillerRoms(int n) {
    std::vector<SampleRom> roms;
    for (int i = 0; i < n; ++i) {
        char number[12], crc[9], md5[33], sha1[41];
        std::snprintf(number, sizeof number, "%03d", i);
        std::snprintf(crc, sizeof crc, "%08X", 0xF0000000u + i);
        std::snprintf(md5, sizeof md5, "%032X", i);
        std::snprintf(sha1, sizeof sha1, "%040X", i);
        const std::string game = std::string("Filler ") + number + " (World)";
        roms.push_back({game, game + ".z64", "8388608", crc, md5, sha1, i % 7 == 0 ? "verified" : "", ""});
    }
    return roms;
}

// Characters XML cannot hold as they are, as references.
inline std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// A Logiqx XML DAT with the usual prologue, the header name given and one game per ROM.
inline std::string logiqxDat(const std::string& header, const std::vector<SampleRom>& roms) {
    std::string text =
        "<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
        "\"http://www.logiqx.com/Dats/datafile.dtd\">\n"
        "<datafile>\n\t<header>\n\t\t<name>" + xmlEscaped(header) + "</name>\n"
        "\t\t<description>" + xmlEscaped(header) + "</description>\n\t\t<version>20240101-000000</version>\n"
        "\t</header>\n";
    for (const SampleRom& rom : roms) {
        text += "\t<game name=\"" + xmlEscaped(rom.game) + "\">\n\t\t<description>" + xmlEscaped(rom.game) +
                "</description>\n\t\t<rom name=\"" + xmlEscaped(rom.name) + "\"";
        const std::pair<const char*, const std::string*> fields[] = {
            {"size", &rom.size}, {"crc", &rom.crc},       {"md5", &rom.md5},
            {"sha1", &rom.sha1}, {"status", &rom.status}, {"serial", &rom.serial}};
        for (const auto& field : fields)
            if (!field.second->empty()) text += std::string(" ") + field.first + "=\"" + xmlEscaped(*field.second) + "\"";
        text += "/>\n\t</game>\n";
    }
    return text + "</datafile>\n";
}

// The same DAT in clrmamepro's text format, as libretro republishes No-Intro's.
inline std::string clrMameProDat(const std::string& header, const std::vector<SampleRom>& roms) {
    std::string text = "clrmamepro (\n\tname \"" + header + "\"\n\tdescription \"" + header +
                       "\"\n\tversion 20240101-000000\n)\n\n";
    for (const SampleRom& rom : roms) {
        text += "game (\n\tname \"" + rom.game + "\"\n\tdescription \"" + rom.game + "\"\n\trom ( name \"" +
                rom.name + "\"";
        if (!rom.size.empty()) text += " size " + rom.size;
        if (!rom.crc.empty()) text += " crc " + rom.crc;
        if (!rom.md5.empty()) text += " md5 " + rom.md5;
        if (!rom.sha1.empty()) text += " sha1 " + rom.sha1;
        if (!rom.status.empty()) text += " flags " + rom.status;
        if (!rom.serial.empty()) text += " serial \"" + rom.serial + "\"";
        text += " )\n)\n\n";
    }
    return text;
}

// The game names under which the sample DATs list the real ROM: a good dump, and its
// little-endian image as a bad dump.
const char* const kRealGame = "Mupen64Plus Demo (World) (En,Fr,De) (Rev 1)";
const char* const kBadGame = "Mupen64Plus Demo (World) (Beta), Bad";

// The ROMs of a sample DAT: 300 filler entries around the real ROM, its digests of the
// image in one order, its ROM named with that order's extension.
inline std::vector<SampleRom> sampleRoms(const RealDigests& digests, const std::string& extension) {
    std::vector<SampleRom> roms = fillerRoms(300);
    roms.insert(roms.begin() + 150, realRomEntry(kRealGame, std::string(kRealGame) + extension, digests));
    return roms;
}

// The real ROM's little-endian image, listed as a bad dump.
inline SampleRom badDumpEntry() {
    return realRomEntry(kBadGame, std::string(kBadGame) + ".n64", kRealLittle, "baddump");
}

// The header names of the big-endian set and of the byte-swapped set derived from it.
const char* const kBigDatName = "Nintendo - Nintendo 64 (BigEndian)";
const char* const kSwappedDatName = "Nintendo - Nintendo 64 (ByteSwapped)";

// A sample DAT in the format asked for: Logiqx XML, or clrmamepro text.
inline std::string datText(bool xml, const std::string& header, const std::vector<SampleRom>& roms) {
    return xml ? logiqxDat(header, roms) : clrMameProDat(header, roms);
}

// One kind of sample DAT: its format, its header, the digests and extension of its entry.
struct DatKind {
    bool xml;
    const char* header;
    const RealDigests* real;
    const char* extension;
};

// Both formats, each in both orders the sets are published in.
const DatKind kDatKinds[] = {
    {true, kBigDatName, &kRealBig, ".z64"},
    {true, kSwappedDatName, &kRealV64, ".v64"},
    {false, kBigDatName, &kRealBig, ".z64"},
    {false, kSwappedDatName, &kRealV64, ".v64"},
};

// A test case's name for a kind of DAT, such as "xml_big".
inline std::string datKindName(const DatKind& kind) {
    return std::string(kind.xml ? "xml_" : "clrmamepro_") + (kind.real == &kRealBig ? "big" : "v64");
}
