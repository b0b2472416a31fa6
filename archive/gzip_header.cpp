#include "archive/backend.h"

#include <vector>

#include "core/path_name.h"

namespace {

// The header flags of RFC 1952.
const unsigned char kHeaderCrc = 0x02, kExtra = 0x04, kName = 0x08, kComment = 0x10;

// Moves at past a zero-ended text, copying it to text when not null; false when unended.
bool skipText(const unsigned char* bytes, std::size_t size, std::size_t& at, std::string* text) {
    while (at < size && bytes[at] != 0) {
        if (text) text->push_back(static_cast<char>(bytes[at]));
        ++at;
    }
    if (at == size) return false;
    ++at;
    return true;
}

// The archive's own file name without its folder and a final ".gz".
std::string nameWithoutGz(const std::string& path) {
    std::string name = nameOf(path);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0) name.resize(name.size() - 3);
    return name;
}

// The header bytes read for listing: enough for any name a collection gives.
const std::size_t kHeaderBytes = 64 * 1024;

} // namespace

bool parseGzipHeader(const unsigned char* bytes, std::size_t size, GzipHeader& header) {
    if (size < 10 || bytes[0] != 0x1F || bytes[1] != 0x8B || bytes[2] != 8) return false;
    const unsigned char flags = bytes[3];
    header.modified = little32(bytes + 4);
    std::size_t at = 10;
    if (flags & kExtra) {
        if (size < at + 2) return false;
        at += 2 + little16(bytes + at);
        if (at > size) return false;
    }
    header.name.clear();
    if ((flags & kName) && !skipText(bytes, size, at, &header.name)) return false;
    if ((flags & kComment) && !skipText(bytes, size, at, nullptr)) return false;
    if (flags & kHeaderCrc) at += 2;
    if (at > size) return false;
    header.length = at;
    return true;
}

// Only the header and the trailer are read: the data is the reader's to stream.
bool listGzip(ArchiveFile& file, const std::string& path, ArchiveEntry& entry, ArchiveError& error) {
    error = {ArchiveProblem::Truncated, path, "", "the archive ends in its header"};
    std::vector<unsigned char> head(static_cast<std::size_t>(std::min<std::int64_t>(file.size(), kHeaderBytes)));
    std::string reason;
    if (!file.read(head.data(), head.size(), 0, reason)) {
        error = {ArchiveProblem::Unreadable, path, "", reason};
        return false;
    }
    GzipHeader header;
    if (!parseGzipHeader(head.data(), head.size(), header)) return false;
    entry.name = header.name.empty() ? nameWithoutGz(path) : header.name;
    error.entry = entry.name;
    // The smallest deflate stream (an empty final block) is 2 bytes, then the 8-byte trailer.
    if (file.size() < static_cast<std::int64_t>(header.length) + 10) return false;
    unsigned char trailer[8];
    if (!file.read(trailer, sizeof trailer, file.size() - 8, reason)) {
        error = {ArchiveProblem::Unreadable, path, entry.name, reason};
        return false;
    }
    entry.crcKnown = true;
    entry.crc = little32(trailer);
    entry.size = little32(trailer + 4);
    entry.packedSize = file.size() - static_cast<std::int64_t>(header.length) - 8;
    // The trailer of a cut file is deflate data: a size beyond what any entry may have says
    // nothing sure (it is modulo 4 GiB anyway), and the limits are kept while reading.
    if (entry.size > kMaxRomSize || (entry.size > kRatioFloor && entry.size / kLargestRatio > entry.packedSize))
        entry.size = -1;
    entry.timeKnown = header.modified != 0;
    entry.modified = header.modified;
    return true;
}
