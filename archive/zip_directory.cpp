#include "archive/zip_directory.h"

#include <algorithm>

namespace {

// The fixed part of each record.
const std::size_t kEndBytes = 22, kCentralBytes = 46, kLocalBytes = 30, kZip64EndBytes = 56, kLocatorBytes = 20;
// The longest archive comment, which the end record may be followed by.
const std::size_t kLongestComment = 0xFFFF;
const std::uint32_t kFull32 = 0xFFFFFFFF;

// Where the directory is, from the end records.
struct DirectoryPlace {
    std::int64_t offset = 0, size = 0, count = 0;
    std::int64_t end = 0; // where the first end record (zip64's or the plain one) starts
};

// Sets error and returns false, for "return refuse(...)".
bool refuse(ArchiveError& error, ArchiveProblem problem, const std::string& path, const std::string& entry,
            const std::string& reason) {
    error = {problem, path, entry, reason};
    return false;
}

// Finds the end record by scanning back over a comment of up to 65,535 bytes.
bool findEndRecord(ArchiveFile& file, const std::string& path, std::vector<unsigned char>& tail,
                   std::int64_t& at, ArchiveError& error) {
    const std::int64_t length = std::min<std::int64_t>(file.size(), kEndBytes + kLongestComment);
    tail.resize(static_cast<std::size_t>(length));
    if (!file.read(tail.data(), tail.size(), file.size() - length, error.reason))
        return refuse(error, ArchiveProblem::Unreadable, path, "", error.reason);
    for (std::int64_t i = length - static_cast<std::int64_t>(kEndBytes); i >= 0; --i) {
        if (little32(&tail[i]) != kEndRecord) continue;
        if (i + static_cast<std::int64_t>(kEndBytes) + little16(&tail[i + 20]) > length) continue;
        at = file.size() - length + i;
        return true;
    }
    unsigned char first[4] = {0, 0, 0, 0};
    std::string ignored;
    const bool local = file.size() >= 4 && file.read(first, 4, 0, ignored) && little32(first) == kLocalHeader;
    return local ? refuse(error, ArchiveProblem::Truncated, path, "", "the archive is cut short: its directory is missing")
                 : refuse(error, ArchiveProblem::Damaged, path, "", "it has no zip directory");
}

// Reads the zip64 end record the locator before the plain end record points to.
bool readZip64End(ArchiveFile& file, const std::string& path, std::int64_t endAt, DirectoryPlace& place,
                  ArchiveError& error) {
    unsigned char locator[kLocatorBytes];
    if (endAt < static_cast<std::int64_t>(kLocatorBytes) ||
        !file.read(locator, sizeof locator, endAt - kLocatorBytes, error.reason) || little32(locator) != kZip64Locator)
        return refuse(error, ArchiveProblem::Damaged, path, "", "its zip64 end record is missing");
    const std::uint64_t at = little64(locator + 8);
    unsigned char record[kZip64EndBytes];
    if (at > static_cast<std::uint64_t>(endAt - kLocatorBytes - kZip64EndBytes) ||
        !file.read(record, sizeof record, static_cast<std::int64_t>(at), error.reason) ||
        little32(record) != kZip64EndRecord)
        return refuse(error, ArchiveProblem::Damaged, path, "", "its zip64 end record is not where its locator says");
    if (little32(record + 16) != 0 || little32(record + 20) != 0)
        return refuse(error, ArchiveProblem::Unsupported, path, "", "it is split over several disks");
    place.count = static_cast<std::int64_t>(std::min<std::uint64_t>(little64(record + 32), INT64_MAX / 2));
    place.size = static_cast<std::int64_t>(std::min<std::uint64_t>(little64(record + 40), INT64_MAX / 2));
    place.offset = static_cast<std::int64_t>(std::min<std::uint64_t>(little64(record + 48), INT64_MAX / 2));
    place.end = static_cast<std::int64_t>(at);
    return true;
}

// Where the directory is and how many records it holds, checked against the file.
bool placeDirectory(ArchiveFile& file, const std::string& path, DirectoryPlace& place, ArchiveError& error) {
    std::vector<unsigned char> tail;
    std::int64_t at = 0;
    if (!findEndRecord(file, path, tail, at, error)) return false;
    const unsigned char* end = &tail[static_cast<std::size_t>(at - (file.size() - static_cast<std::int64_t>(tail.size())))];
    if (little16(end + 4) != 0 || little16(end + 6) != 0)
        return refuse(error, ArchiveProblem::Unsupported, path, "", "it is split over several disks");
    place = {little32(end + 16), little32(end + 12), little16(end + 10), at};
    if (place.count == 0xFFFF || place.size == kFull32 || place.offset == kFull32) {
        if (!readZip64End(file, path, at, place, error)) return false;
    }
    if (place.offset + place.size > place.end)
        return refuse(error, ArchiveProblem::Damaged, path, "", "its directory runs past its end record (the directory lies)");
    if (place.count * static_cast<std::int64_t>(kCentralBytes) > place.size)
        return refuse(error, ArchiveProblem::Damaged, path, "", "its end record states more entries than its directory holds");
    return true;
}

// The fields of a zip64 extra field, in the order APPNOTE gives, for those at their maximum.
bool readZip64Fields(const std::string& extra, std::uint64_t& size, std::uint64_t& packed, std::uint64_t& offset,
                     bool wantSize, bool wantPacked, bool wantOffset) {
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(extra.data()) + at;
        const std::size_t length = little16(bytes + 2);
        if (at + 4 + length > extra.size()) break;
        if (little16(bytes) == kZip64Extra) {
            std::size_t field = 4;
            std::uint64_t* wanted[] = {wantSize ? &size : nullptr, wantPacked ? &packed : nullptr,
                                       wantOffset ? &offset : nullptr};
            for (std::uint64_t* value : wanted) {
                if (!value) continue;
                if (field + 8 > 4 + length) return false;
                *value = little64(bytes + field);
                field += 8;
            }
            return true;
        }
        at += 4 + length;
    }
    return !wantSize && !wantPacked && !wantOffset;
}

// The modification time of an extended timestamp field (id 0x5455), when there is one.
bool readUnixTime(const std::string& extra, std::int64_t& seconds) {
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(extra.data()) + at;
        const std::size_t length = little16(bytes + 2);
        if (at + 4 + length > extra.size()) return false;
        if (little16(bytes) == kTimeExtra && length >= 5 && (bytes[4] & 1)) {
            seconds = static_cast<std::int32_t>(little32(bytes + 5));
            return true;
        }
        at += 4 + length;
    }
    return false;
}

// One central record at bytes (left bytes of directory from there); its length in used.
bool readRecord(const unsigned char* bytes, std::size_t left, const std::string& path, ZipRecord& record,
                std::size_t& used, ArchiveError& error) {
    if (left < kCentralBytes || little32(bytes) != kCentralHeader)
        return refuse(error, ArchiveProblem::Damaged, path, "", "its directory holds a record that is not an entry (the directory lies)");
    const std::size_t nameLength = little16(bytes + 28), extraLength = little16(bytes + 30), commentLength = little16(bytes + 32);
    used = kCentralBytes + nameLength + extraLength + commentLength;
    if (used > left) return refuse(error, ArchiveProblem::Damaged, path, "", "its directory ends in the middle of an entry");
    ArchiveEntry& entry = record.entry;
    entry.name.assign(reinterpret_cast<const char*>(bytes + kCentralBytes), nameLength);
    const std::string extra(reinterpret_cast<const char*>(bytes + kCentralBytes + nameLength), extraLength);
    record.comment.assign(reinterpret_cast<const char*>(bytes + kCentralBytes + nameLength + extraLength), commentLength);
    record.madeBy = little16(bytes + 4), record.needed = little16(bytes + 6), record.flags = little16(bytes + 8);
    record.method = little16(bytes + 10), record.time = little16(bytes + 12), record.date = little16(bytes + 14);
    record.internal = little16(bytes + 36), record.external = little32(bytes + 38);
    std::uint64_t size = little32(bytes + 24), packed = little32(bytes + 20), offset = little32(bytes + 42);
    if (!readZip64Fields(extra, size, packed, offset, size == kFull32, packed == kFull32, offset == kFull32))
        return refuse(error, ArchiveProblem::Damaged, path, entry.name, "its zip64 field is missing or too short");
    if (size > INT64_MAX / 2 || packed > INT64_MAX / 2 || offset > INT64_MAX / 2)
        return refuse(error, ArchiveProblem::Damaged, path, entry.name, "its sizes are beyond any file (the directory lies)");
    record.extra = withoutExtra(extra, kZip64Extra);
    record.localOffset = static_cast<std::int64_t>(offset);
    entry.size = static_cast<std::int64_t>(size), entry.packedSize = static_cast<std::int64_t>(packed);
    entry.crcKnown = true, entry.crc = little32(bytes + 16);
    entry.timeKnown = true;
    if (!readUnixTime(record.extra, entry.modified)) entry.modified = dosToUnix(record.date, record.time);
    entry.folder = !entry.name.empty() && entry.name.back() == '/';
    entry.encrypted = (record.flags & kFlagEncrypted) != 0;
    entry.stored = record.method == 0;
    return true;
}

// Every entry's header and data must lie between its local offset and the next entry's (or
// the directory): entries that overlap are a bomb's trick or a lie.
bool placeEntries(std::vector<ZipRecord>& records, const std::string& path, std::int64_t directory, ArchiveError& error) {
    std::vector<ZipRecord*> order;
    for (ZipRecord& record : records) order.push_back(&record);
    std::stable_sort(order.begin(), order.end(),
                     [](const ZipRecord* a, const ZipRecord* b) { return a->localOffset < b->localOffset; });
    for (std::size_t i = 0; i < order.size(); ++i) {
        ZipRecord& record = *order[i];
        record.limit = i + 1 < order.size() ? order[i + 1]->localOffset : directory;
        const std::int64_t least = static_cast<std::int64_t>(kLocalBytes + record.entry.name.size()) + record.entry.packedSize;
        // Of two entries at one place, the later in the directory is the one that lies.
        if (i + 1 < order.size() && order[i + 1]->localOffset == record.localOffset)
            return refuse(error, ArchiveProblem::Damaged, path, order[i + 1]->entry.name,
                          "its local header is another entry's (the directory lies)");
        if (record.localOffset + least > record.limit)
            return refuse(error, ArchiveProblem::Damaged, path, record.entry.name, i + 1 < order.size()
                          ? "its data overlaps the next entry's (the directory lies)"
                          : "its data runs into the directory (the directory lies)");
    }
    return true;
}

} // namespace

std::string withoutExtra(const std::string& extra, std::uint16_t id) {
    std::string kept;
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(extra.data()) + at;
        const std::size_t length = std::min<std::size_t>(4 + little16(bytes + 2), extra.size() - at);
        if (little16(bytes) != id) kept.append(extra, at, length);
        at += length;
    }
    return kept;
}

bool readZipDirectory(ArchiveFile& file, const std::string& path, std::vector<ZipRecord>& records, ArchiveError& error) {
    DirectoryPlace place;
    if (!placeDirectory(file, path, place, error)) return false;
    std::vector<unsigned char> directory(static_cast<std::size_t>(place.size));
    if (!file.read(directory.data(), directory.size(), place.offset, error.reason))
        return refuse(error, ArchiveProblem::Unreadable, path, "", error.reason);
    records.clear();
    std::size_t at = 0;
    for (std::int64_t i = 0; i < place.count; ++i) {
        ZipRecord record;
        std::size_t used = 0;
        if (!readRecord(directory.data() + at, directory.size() - at, path, record, used, error)) return false;
        records.push_back(std::move(record));
        at += used;
    }
    return placeEntries(records, path, place.offset, error);
}

bool readLocalHeader(ArchiveFile& file, const ZipRecord& record, ZipData& data, std::string& reason) {
    unsigned char header[kLocalBytes];
    if (record.localOffset + static_cast<std::int64_t>(kLocalBytes) > record.limit ||
        !file.read(header, sizeof header, record.localOffset, reason) || little32(header) != kLocalHeader) {
        if (reason.empty()) reason = "its local header is not where the directory says (the directory lies)";
        return false;
    }
    const std::size_t nameLength = little16(header + 26), extraLength = little16(header + 28);
    data.start = record.localOffset + static_cast<std::int64_t>(kLocalBytes + nameLength + extraLength);
    if (data.start + record.entry.packedSize > record.limit) {
        reason = "its data runs past the next entry (the directory lies)";
        return false;
    }
    std::string names(nameLength + extraLength, '\0');
    if (!file.read(reinterpret_cast<unsigned char*>(&names[0]), names.size(), record.localOffset + kLocalBytes, reason)) return false;
    if (names.compare(0, nameLength, record.entry.name) != 0 || little16(header + 8) != record.method ||
        ((little16(header + 6) ^ record.flags) & kFlagEncrypted)) {
        reason = "its local header does not match the directory";
        return false;
    }
    const std::uint32_t crc = little32(header + 14), packed = little32(header + 18), size = little32(header + 22);
    if (!(record.flags & kFlagDescriptor) && (crc != record.entry.crc ||
        (packed != kFull32 && packed != static_cast<std::uint64_t>(record.entry.packedSize)) ||
        (size != kFull32 && size != static_cast<std::uint64_t>(record.entry.size)))) {
        reason = "its local header states another size or CRC-32 than the directory";
        return false;
    }
    data.localExtra = withoutExtra(names.substr(nameLength), kZip64Extra);
    return true;
}
