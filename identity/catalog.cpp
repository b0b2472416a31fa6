#include "identity/catalog.h"

#include "core/text.h"
#include "identity/rom_image_reader.h"

namespace {

// Lines longer than this are no catalogue's; they are skipped whole.
const std::size_t kLongestLine = 4096;

// A catalogue larger than this is not read.
const std::size_t kLargestCatalog = std::size_t(64) << 20;

// References are followed this far at most, so a loop of them ends.
const int kDeepestReference = 16;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// text without the white space at its ends.
std::string_view trimmed(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isSpace(text[begin])) ++begin;
    while (end > begin && isSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// text with its ASCII letters in upper case.
std::string upperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

// Reads one hexadecimal word of at most 8 digits at text[pos], moving pos past it.
bool readHexWord(std::string_view text, std::size_t& pos, std::uint32_t& word) {
    std::size_t digits = 0;
    word = 0;
    for (; pos < text.size(); ++pos, ++digits) {
        const int value = hexDigitValue(text[pos]);
        if (value < 0) break;
        word = (word << 4) | static_cast<std::uint32_t>(value);
    }
    return digits >= 1 && digits <= 8;
}

// Reads "XXXXXXXX YYYYYYYY", the two halves of a header code, into one 64-bit value.
bool parseCodes(std::string_view text, std::uint64_t& codes) {
    std::size_t pos = 0;
    std::uint32_t crc1, crc2;
    if (!readHexWord(text, pos, crc1)) return false;
    const std::size_t gap = pos;
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    if (pos == gap || !readHexWord(text, pos, crc2) || pos != text.size()) return false;
    codes = (std::uint64_t(crc1) << 32) | crc2;
    return true;
}

} // namespace

// Read through the same guarded open as a ROM, so that a pipe or a device given by mistake
// is refused instead of waited on.
bool Catalog::load(const std::string& path, std::string& reason) {
    RomImageBuffer buffer;
    std::int64_t size = 0;
    if (!readRomImage(path, kLargestCatalog + 1, buffer, size, ReadProgress(), reason)) return false;
    if (buffer.size() > kLargestCatalog) {
        reason = "larger than any ROM catalogue";
        return false;
    }
    parse(std::string_view(reinterpret_cast<const char*>(buffer.bytes()), buffer.size()));
    return true;
}

// Lines are looked at where they lie in the text; only the fields kept are copied.
void Catalog::parse(std::string_view text) {
    sections_.clear();
    sections_.reserve(4096);
    Section* current = nullptr;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        if (end - start <= kLongestLine) readLine(text.substr(start, end - start), current);
        start = end + 1;
    }
    resolveReferences();
    indexCodes();
}

// A section header starts a section (the first of a name wins, as later ones would only
// repeat it); a key line fills the current one. Anything else is skipped.
void Catalog::readLine(std::string_view rawLine, Section*& current) {
    const std::string_view line = trimmed(rawLine);
    if (line.empty() || line[0] == ';' || line[0] == '#') return;
    if (line[0] == '[') {
        const std::size_t close = line.find(']');
        current = nullptr;
        if (close == std::string_view::npos) return;
        const std::string_view name = trimmed(line.substr(1, close - 1));
        if (name.empty()) return;
        const auto added = sections_.emplace(upperCase(name), Section());
        if (added.second) current = &added.first->second;
        return;
    }
    const std::size_t equals = line.find('=');
    if (!current || equals == std::string_view::npos) return;
    const std::string_view key = trimmed(line.substr(0, equals));
    const std::string_view value = trimmed(line.substr(equals + 1));
    if (key == "GoodName" && current->goodName.empty()) {
        current->goodName = value;
    } else if (key == "RefMD5") {
        current->refMd5 = upperCase(value);
    } else if (key == "CRC") {
        current->hasCodes = parseCodes(value, current->codes);
    }
}

// A section takes the name and codes it lacks from the one its RefMD5 names, and that one
// from its own reference, as the emulator does.
void Catalog::resolveReferences() {
    for (auto& named : sections_) {
        Section& section = named.second;
        std::string reference = section.refMd5;
        for (int depth = 0; depth < kDeepestReference && !reference.empty(); ++depth) {
            const auto found = sections_.find(reference);
            if (found == sections_.end()) break;
            const Section& source = found->second;
            if (section.goodName.empty()) section.goodName = source.goodName;
            if (!section.hasCodes && source.hasCodes) {
                section.hasCodes = true;
                section.codes = source.codes;
            }
            reference = source.refMd5;
        }
    }
}

void Catalog::indexCodes() {
    byCodes_.clear();
    for (const auto& named : sections_) {
        if (!named.second.hasCodes) continue;
        Carriers& carriers = byCodes_[named.second.codes];
        if (carriers.count++ == 0) carriers.goodName = named.second.goodName;
    }
}

// Many dumps share a header code, so the code alone names a ROM only when a single section
// carries it, and even then it is a guess.
CatalogResult Catalog::find(const std::string& md5, std::uint32_t crc1, std::uint32_t crc2) const {
    CatalogResult result;
    const auto section = sections_.find(upperCase(trimmed(md5)));
    if (section != sections_.end()) {
        result.match = CatalogMatch::Md5;
        result.goodName = section->second.goodName;
        return result;
    }
    const auto carriers = byCodes_.find((std::uint64_t(crc1) << 32) | crc2);
    if (carriers != byCodes_.end() && carriers->second.count == 1) {
        result.match = CatalogMatch::HeaderCodes;
        result.goodName = carriers->second.goodName;
    }
    return result;
}
