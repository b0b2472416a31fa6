// The readable block of info.
#include <cstdio>

#include "cli/dat_option.h"
#include "cli/identity_texts.h"
#include "cli/info_report.h"
#include "cli/order_names.h"
#include "cli/report.h"
#include "core/shown_text.h"

namespace {

// Values start in this column after the two-space indent, so keys line up.
const std::size_t kKeyWidth = 13;

// Appends "  key  value" with the value in its column.
void addLine(std::string& text, const std::string& key, const std::string& value) {
    text += "  " + key + std::string(key.size() < kKeyWidth ? kKeyWidth - key.size() : 1, ' ') + value + "\n";
}

// "1048576 bytes (8 Mbit)"; sizes that are no whole number of Mbit get two decimals.
std::string sizeText(std::int64_t size) {
    const double mbit = sizeInMbit(size);
    char text[64];
    if (size % 131072 == 0)
        std::snprintf(text, sizeof text, " (%lld Mbit)", static_cast<long long>(size / 131072));
    else
        std::snprintf(text, sizeof text, " (%.2f Mbit)", mbit);
    return bytesText(size) + text;
}

// The order line: the name, or why there is none.
std::string orderText(const RomIdentity& identity) {
    if (identity.order != ByteOrder::None) return orderName(identity.order);
    if (identity.size == 0) return "unknown (empty file)";
    return "unknown (first byte not a ROM's; the file is taken as it is)";
}

// "USA (E, NTSC)", "none (00)".
std::string regionText(unsigned char code) {
    const RegionFacts facts = regionFacts(code);
    std::string text = std::string(facts.name) + " (";
    text += code >= 0x21 && code < 0x7F ? std::string(1, static_cast<char>(code)) : hex32(code).substr(6);
    if (*facts.video) text += std::string(", ") + facts.video;
    return text + ")";
}

// The header's lines, or one saying it is missing.
void addHeaderLines(std::string& text, const RomIdentity& identity) {
    if (!identity.hasHeader) {
        addLine(text, "header", "not present (file shorter than 64 bytes)");
        return;
    }
    const RomHeader& header = identity.header;
    const std::string name = headerText(header.name, sizeof header.name);
    addLine(text, "name", name.empty() ? "(empty)" : name);
    const std::string code = gameCode(header);
    addLine(text, "game code", code.empty() ? "none" : code + " (" + categoryName(header.category) + ")");
    addLine(text, "region", regionText(header.region));
    addLine(text, "revision", std::to_string(header.revision));
    addLine(text, "entry point", hex32(header.entryPoint));
    addLine(text, "clock rate", hex32(header.clockRate));
    const std::string release = libultraName(header.libultra);
    addLine(text, "libultra", release.empty() ? hex32(header.libultra) : release + " (" + hex32(header.libultra) + ")");
    addLine(text, "header CRC", codeText({header.crc1, header.crc2}));
}

// The boot chip and the check code's lines.
void addCheckLines(std::string& text, const RomIdentity& identity) {
    if (identity.hasBootCode) {
        const std::string chip = bootChipName(identity.recognisedChip); // "unknown" for none
        addLine(text, "boot chip", chip + " (boot code CRC32 " + hex32(identity.bootCodeCrc32) + ")");
    } else {
        addLine(text, "boot chip", "not present (file shorter than 4096 bytes)");
    }
    const CheckResult& check = identity.check;
    if (check.verdict == CheckVerdict::NotVerified) {
        addLine(text, "check", std::string("not verified: ") + notVerifiedText(identity));
        return;
    }
    addLine(text, "computed", codeText(check.computed) + " (" + checkBasisText(check) + ")");
    addLine(text, "check", verdictName(check.verdict));
}

// The digests' lines and the catalogue's.
void addDigestLines(std::string& text, const RomIdentity& identity, const CatalogAnswer& catalog) {
    addLine(text, "digests", identity.order == ByteOrder::None ? "of the file as it is" : "of the big-endian image");
    addLine(text, "CRC32", hex32(identity.digests.bigEndian().crc32));
    addLine(text, "MD5", hexUpper(identity.digests.bigEndian().md5, 16));
    addLine(text, "SHA-1", hexUpper(identity.digests.bigEndian().sha1, 20));
    if (catalog.path.empty()) {
        addLine(text, "catalogue", "none read");
        return;
    }
    switch (catalog.result.match) {
    case CatalogMatch::Md5: addLine(text, "catalogue", shownText(catalog.result.goodName) + " (by MD5)"); break;
    case CatalogMatch::HeaderCodes:
        addLine(text, "catalogue", shownText(catalog.result.goodName) + " (a guess: only the header CRC matches)");
        break;
    case CatalogMatch::None: addLine(text, "catalogue", "not listed"); break;
    }
}

// Which image a digest is of: "of the big-endian image", "of the v64 image", ...
const char* imageText(ByteOrder order) {
    switch (order) {
    case ByteOrder::BigEndian: return "of the big-endian image";
    case ByteOrder::LittleEndian: return "of the little-endian image";
    case ByteOrder::DoctorV64: return "of the v64 image";
    case ByteOrder::None: break;
    }
    return "of the file as it is";
}

// The DAT's lines: the DAT, and the entry that lists the file with the digest that matched.
void addDatLines(std::string& text, const RomIdentity& identity, const DatAnswer& dat) {
    if (dat.path.empty()) return;
    const std::string name = shownText(dat.dat->name().empty() ? dat.path : dat.dat->name());
    const DatRom* rom = dat.match.rom;
    if (!rom) {
        addLine(text, "DAT", "not listed in " + name);
        return;
    }
    addLine(text, "DAT", name);
    addLine(text, "DAT entry", shownText(rom->game));
    addLine(text, "DAT ROM", shownText(rom->name));
    addLine(text, "DAT status", datStatusName(rom->status));
    if (!rom->serial.empty()) addLine(text, "DAT serial", shownText(rom->serial));
    addLine(text, "DAT match", std::string(matchDigestName(dat.match.by)) + " " + imageText(dat.match.order) + " " +
                                   matchedDigestValue(identity, dat.match));
}

} // namespace

std::string infoText(const std::string& file, const RomIdentity& identity, const CatalogAnswer& catalog,
                     const DatAnswer& dat) {
    std::string text = shownText(file) + "\n";
    addLine(text, "order", orderText(identity));
    addLine(text, "size", sizeText(identity.size));
    addHeaderLines(text, identity);
    addCheckLines(text, identity);
    addDigestLines(text, identity, catalog);
    addDatLines(text, identity, dat);
    return text;
}
