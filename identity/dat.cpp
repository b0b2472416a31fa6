#include "identity/dat.h"

#include <cctype>
#include <cerrno>
#include <cstring>

#include "core/file_ops.h"
#include "core/file_system.h"
#include "core/text.h"

namespace {

// Reads exactly 2 * n hexadecimal digits, in either letter case, into n bytes.
bool parseHexBytes(const std::string& text, unsigned char* out, std::size_t n) {
    if (text.size() != 2 * n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        const int high = hexDigitValue(text[2 * i]), low = hexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        out[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return true;
}

// A CRC-32 of one to eight hexadecimal digits: some tools drop leading zeros.
bool parseCrc(const std::string& text, std::uint32_t& crc) {
    if (text.empty() || text.size() > 8) return false;
    crc = 0;
    for (char c : text) {
        const int digit = hexDigitValue(c);
        if (digit < 0) return false;
        crc = crc << 4 | static_cast<std::uint32_t>(digit);
    }
    return true;
}

// A size in decimal digits, no larger than a DAT could mean.
bool parseSize(const std::string& text, std::int64_t& size) {
    if (text.empty() || text.size() > 15) return false;
    size = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        size = size * 10 + (c - '0');
    }
    return true;
}

// Sets the status a DAT's word names; other words leave it as it is.
void setStatus(DatRom& rom, const std::string& word) {
    const std::string status = lowerAscii(word);
    if (status == "baddump") rom.status = DatStatus::BadDump;
    else if (status == "nodump") rom.status = DatStatus::NoDump;
    else if (status == "verified") rom.status = DatStatus::Verified;
    else if (status == "good") rom.status = DatStatus::Good;
}

// Sets a digest field from its text; what the problem says when the text is not one.
bool setDigest(const std::string& key, const std::string& value, bool parsed, bool& has, std::size_t digits,
               std::string& problem) {
    has = parsed;
    if (parsed) return true;
    problem = key + " \"" + value + "\" is not " + std::to_string(digits) + " hexadecimal digits";
    return false;
}

// The first bytes of text after a UTF-8 byte order mark and white space.
std::size_t contentStart(const unsigned char* text, std::size_t size) {
    std::size_t at = size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    while (at < size && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) ++at;
    return at;
}

// Whether text starts (at from) as a clrmamepro DAT does: a word, then an opening parenthesis.
bool looksLikeClrMamePro(const unsigned char* text, std::size_t size, std::size_t from) {
    std::size_t at = from;
    while (at < size && (std::isalnum(text[at]) || text[at] == '_')) ++at;
    if (at == from) return false;
    while (at < size && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) ++at;
    return at < size && text[at] == '(';
}

// The key under which a digest of an image in slot is indexed.
std::string digestKey(std::size_t slot, DatDigest kind, const unsigned char* bytes, std::size_t n) {
    std::string key;
    key += static_cast<char>(slot);
    key += static_cast<char>(kind);
    key.append(reinterpret_cast<const char*>(bytes), n);
    return key;
}

// A CRC-32 and a size as the bytes of a key.
std::string crcKey(std::size_t slot, std::uint32_t crc, std::int64_t size) {
    unsigned char bytes[12];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(crc >> (8 * i));
    for (int i = 0; i < 8; ++i) bytes[4 + i] = static_cast<unsigned char>(static_cast<std::uint64_t>(size) >> (8 * i));
    return digestKey(slot, DatDigest::Crc32, bytes, sizeof bytes);
}

// The key of the digest rom is matched by.
std::string romKey(const DatRom& rom, std::size_t slot, DatDigest by) {
    switch (by) {
    case DatDigest::Sha1: return digestKey(slot, by, rom.sha1, sizeof rom.sha1);
    case DatDigest::Md5: return digestKey(slot, by, rom.md5, sizeof rom.md5);
    case DatDigest::Crc32: return crcKey(slot, rom.crc32, rom.size);
    case DatDigest::None: break;
    }
    return std::string();
}

// Where the extension of name starts: its last dot, when one to four letters or digits follow
// it ("Game v1.1 (USA)" has none); the name's end otherwise.
std::size_t extensionStart(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot - 1 > 4 || dot + 1 == name.size())
        return name.size();
    for (std::size_t i = dot + 1; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return name.size();
    return dot;
}

// Whether stem (without extension) is one of the names Windows keeps for its devices.
bool isDeviceName(std::string stem) {
    stem = lowerAscii(stem.substr(0, stem.find('.')));
    static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
    for (const char* device : kDevices)
        if (stem == device) return true;
    return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

// Why name cannot be a file name everywhere; empty when it can.
std::string fileNameProblem(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return "it is no file name";
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return "it holds a control character";
        if (std::strchr("/\\:*?\"<>|", c)) return std::string("it holds '") + static_cast<char>(c) + "'";
    }
    if (name.front() == '.') return "it begins with a dot, which hides the file";
    if (name.back() == ' ' || name.back() == '.') return "it ends with a space or a dot";
    if (isDeviceName(name)) return "Windows keeps it for a device";
    return std::string();
}

} // namespace

std::string datFileName(const DatRom& rom, ByteOrder order, std::string& problem) {
    const std::string name =
        order == ByteOrder::None ? rom.name : rom.name.substr(0, extensionStart(rom.name)) + orderExtension(order, ExtensionSet::Common);
    problem = fileNameProblem(name);
    const std::string given = name == rom.name ? std::string() : " would give \"" + name + "\", which";
    if (!problem.empty()) problem = "the DAT's name \"" + rom.name + "\"" + given + " cannot be a file name: " + problem;
    return problem.empty() ? name : std::string();
}

ByteOrder orderOfRomName(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return ByteOrder::None;
    return orderOfExtension(name.substr(dot), ExtensionSet::Common);
}

ByteOrder orderOfDatName(const std::string& name) {
    return name.find("(ByteSwapped)") != std::string::npos ? ByteOrder::DoctorV64 : ByteOrder::BigEndian;
}

// A CRC-32 alone identifies too little: it counts only with the size.
DatDigest matchDigestOf(const DatRom& rom) {
    if (rom.status == DatStatus::NoDump) return DatDigest::None;
    if (rom.hasSha1) return DatDigest::Sha1;
    if (rom.hasMd5) return DatDigest::Md5;
    if (rom.hasCrc32 && rom.size >= 0) return DatDigest::Crc32;
    return DatDigest::None;
}

std::string placeText(unsigned line, unsigned column) {
    if (line == 0) return std::string();
    std::string text = "line " + std::to_string(line);
    if (column > 0) text += ", column " + std::to_string(column);
    return text + ": ";
}

void askForDatDigests(const Dat& dat, IdentifyOptions& options) {
    for (std::size_t slot = 0; slot < kOrderSlots; ++slot) options.digests[slot] |= dat.needs(slot);
}

bool setRomField(DatRom& rom, const std::string& key, const std::string& value, std::string& problem) {
    if (key == "name") rom.name = value;
    if (key == "serial") rom.serial = value;
    if (key == "status" || key == "flags") setStatus(rom, value);
    if (value.empty()) return true; // a size or digest not given
    if (key == "crc") return setDigest(key, value, parseCrc(value, rom.crc32), rom.hasCrc32, 8, problem);
    if (key == "md5") return setDigest(key, value, parseHexBytes(value, rom.md5, 16), rom.hasMd5, 32, problem);
    if (key == "sha1") return setDigest(key, value, parseHexBytes(value, rom.sha1, 20), rom.hasSha1, 40, problem);
    if (key != "size" || parseSize(value, rom.size)) return true;
    problem = "size \"" + value + "\" is not a number of bytes";
    return false;
}

// Read through the core's file operations: a regular file only, never waited on.
bool Dat::load(const std::string& path, std::string& reason) {
    FileOps& ops = fileOps();
    const FileHandle file = ops.open(path, OpenMode::Read, reason);
    if (file == kNoFile) return false;
    std::vector<unsigned char> text;
    const std::int64_t size = ops.size(file, reason);
    bool read = false;
    if (size > kLargestDat) {
        reason = "larger than " + std::to_string(kLargestDat >> 20) + " MiB, more than any DAT holds";
    } else if (size >= 0) {
        try {
            text.resize(static_cast<std::size_t>(size));
            read = ops.read(file, text.data(), text.size(), 0, reason);
        } catch (const std::bad_alloc&) {
            reason = systemReason(ENOMEM);
        }
    }
    std::string ignored; // only read: nothing can be lost when the close fails
    ops.close(file, ignored);
    return read && parse(text.data(), text.size(), reason);
}

bool Dat::parse(const unsigned char* text, std::size_t size, std::string& reason) {
    *this = Dat();
    const std::size_t start = contentStart(text, size);
    const bool utf16 = size >= 2 && ((text[0] == 0xFF && text[1] == 0xFE) || (text[0] == 0xFE && text[1] == 0xFF));
    DatContents contents;
    bool read;
    if (start == size) {
        reason = "the file is empty";
        return false;
    } else if (text[start] == '<' || utf16) {
        format_ = DatFormat::LogiqxXml;
        read = readLogiqxDat(text, size, contents, reason);
    } else if (looksLikeClrMamePro(text, size, start)) {
        format_ = DatFormat::ClrMamePro;
        read = readClrMameProDat(text, size, contents, reason);
    } else {
        reason = "not a DAT: neither Logiqx XML nor clrmamepro text";
        return false;
    }
    if (!read) return false;
    name_ = std::move(contents.name);
    roms_ = std::move(contents.roms);
    index();
    return true;
}

// Gives every ROM its order (from its name, else from the DAT's) and indexes it by the digest
// it is matched by; the first of ROMs that share one keeps it.
void Dat::index() {
    const ByteOrder datOrder = orderOfDatName(name_);
    for (std::size_t i = 0; i < roms_.size(); ++i) {
        DatRom& rom = roms_[i];
        const ByteOrder named = orderOfRomName(rom.name);
        rom.order = named != ByteOrder::None ? named : datOrder;
        const DatDigest by = matchDigestOf(rom);
        if (by == DatDigest::None) continue;
        const std::size_t slot = orderSlot(rom.order);
        index_.emplace(romKey(rom, slot, by), i);
        DigestSet& needs = needs_[slot];
        needs.sha1 = needs.sha1 || by == DatDigest::Sha1;
        needs.md5 = needs.md5 || by == DatDigest::Md5;
        needs.crc32 = needs.crc32 || by == DatDigest::Crc32;
    }
}

// Looks up the digests of the image in digestSlot among the ROMs of romSlot, strongest first.
const DatRom* Dat::findIn(std::size_t digestSlot, std::size_t romSlot, const OrderedDigests& digests,
                          std::int64_t size, DatDigest& by) const {
    const DigestSet& computed = digests.computed[digestSlot];
    const ImageDigests& values = digests.values[digestSlot];
    const auto look = [&](DatDigest kind, const std::string& key) -> const DatRom* {
        const auto found = index_.find(key);
        if (found == index_.end()) return nullptr;
        by = kind;
        return &roms_[found->second];
    };
    const DatRom* rom = nullptr;
    if (computed.sha1) rom = look(DatDigest::Sha1, digestKey(romSlot, DatDigest::Sha1, values.sha1, sizeof values.sha1));
    if (!rom && computed.md5) rom = look(DatDigest::Md5, digestKey(romSlot, DatDigest::Md5, values.md5, sizeof values.md5));
    if (!rom && computed.crc32) rom = look(DatDigest::Crc32, crcKey(romSlot, values.crc32, size));
    return rom;
}

DatMatch Dat::find(const OrderedDigests& digests, ByteOrder order, std::int64_t size) const {
    DatMatch match;
    if (order == ByteOrder::None) {
        for (std::size_t slot = 0; slot < kOrderSlots && !match.rom; ++slot)
            match.rom = findIn(0, slot, digests, size, match.by);
        return match;
    }
    const std::size_t own = orderSlot(order);
    const std::size_t tries[] = {own, 0, 1, 2};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t slot = tries[i];
        if (i > 0 && slot == own) continue;
        match.rom = findIn(slot, slot, digests, size, match.by);
        if (match.rom) {
            match.order = slotOrder(slot);
            return match;
        }
    }
    return match;
}
