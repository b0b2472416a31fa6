// A zip written through zlib from PKWARE's APPNOTE: a local header before each entry's data
// (written again with the CRC-32 and sizes once the data is out), then the central directory,
// the zip64 end records where a count, size or offset needs them, and the end record.
#include <ctime>
#include <vector>

#include "archive/deflate_sink.h"
#include "archive/zip_reader.h"
#include "core/text.h"

namespace {

const std::uint32_t kFull32 = 0xFFFFFFFF;
// The versions "needed to extract": 2.0 for deflate and folders, 4.5 for zip64.
const std::uint16_t kVersionDeflate = 20, kVersionZip64 = 45;
// Stored bytes of a raw copy move 256 KiB at a time.
const std::size_t kCopySlice = 256 * 1024;
// TorrentZip's fixed fields: "maximum compression" in the flags, and 1996-12-24 23:32 in DOS
// form; its comment is this text and the directory's CRC-32 in 8 upper-case hex digits.
const std::uint16_t kFlagMaximum = 2, kTorrentTime = 48128, kTorrentDate = 8600;
const char* const kTorrentComment = "TORRENTZIPPED-";

// One entry as the central directory will list it.
struct Written {
    std::string name, extra, localExtra, comment;
    std::uint16_t madeBy = kVersionDeflate, needed = kVersionDeflate, flags = 0, method = 8, time = 0, date = 0;
    std::uint16_t internal = 0;
    std::uint32_t external = 0, crc = 0;
    std::int64_t size = 0, packed = 0, offset = 0;
};

// Whether name needs the UTF-8 flag: any byte beyond ASCII.
bool beyondAscii(const std::string& name) {
    for (char c : name)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

// An extended timestamp field holding the modification time (seconds, as zip keeps them).
std::string timeExtra(std::int64_t seconds) {
    std::string field;
    putLittle16(field, kTimeExtra);
    putLittle16(field, 5);
    field.push_back(1);
    putLittle32(field, static_cast<std::uint32_t>(seconds));
    return field;
}

// The zip64 extra field holding each of the values given.
std::string zip64Extra(const std::vector<std::uint64_t>& values) {
    std::string field;
    putLittle16(field, kZip64Extra);
    putLittle16(field, static_cast<std::uint16_t>(8 * values.size()));
    for (std::uint64_t value : values) putLittle64(field, value);
    return field;
}

// A 32-bit field: the value, or the marker that the zip64 field holds it.
std::uint32_t field32(std::int64_t value, bool inZip64) {
    return inZip64 ? kFull32 : static_cast<std::uint32_t>(value);
}

// The local header; with a data descriptor to follow, CRC-32 and sizes are zero there.
std::string localHeader(const Written& entry, bool zip64) {
    const bool later = (entry.flags & kFlagDescriptor) != 0;
    const std::string extra = (zip64 ? zip64Extra({std::uint64_t(later ? 0 : entry.size),
                                                   std::uint64_t(later ? 0 : entry.packed)}) : "") + entry.localExtra;
    std::string header;
    putLittle32(header, kLocalHeader);
    putLittle16(header, zip64 ? std::max(entry.needed, kVersionZip64) : entry.needed);
    putLittle16(header, entry.flags);
    putLittle16(header, entry.method);
    putLittle16(header, entry.time);
    putLittle16(header, entry.date);
    putLittle32(header, later ? 0 : entry.crc);
    putLittle32(header, later ? 0 : field32(entry.packed, zip64));
    putLittle32(header, later ? 0 : field32(entry.size, zip64));
    putLittle16(header, static_cast<std::uint16_t>(entry.name.size()));
    putLittle16(header, static_cast<std::uint16_t>(extra.size()));
    return header + entry.name + extra;
}

// The central record; the zip64 field holds each value too large for 32 bits (all when forced).
std::string centralRecord(const Written& entry, bool force) {
    const bool bigSize = force || entry.size >= kFull32, bigPacked = force || entry.packed >= kFull32,
               bigOffset = force || entry.offset >= kFull32;
    std::vector<std::uint64_t> values;
    if (bigSize) values.push_back(static_cast<std::uint64_t>(entry.size));
    if (bigPacked) values.push_back(static_cast<std::uint64_t>(entry.packed));
    if (bigOffset) values.push_back(static_cast<std::uint64_t>(entry.offset));
    const std::string extra = (values.empty() ? "" : zip64Extra(values)) + entry.extra;
    std::string record;
    putLittle32(record, kCentralHeader);
    putLittle16(record, entry.madeBy);
    putLittle16(record, values.empty() ? entry.needed : std::max(entry.needed, kVersionZip64));
    for (std::uint16_t value : {entry.flags, entry.method, entry.time, entry.date}) putLittle16(record, value);
    putLittle32(record, entry.crc);
    putLittle32(record, field32(entry.packed, bigPacked));
    putLittle32(record, field32(entry.size, bigSize));
    putLittle16(record, static_cast<std::uint16_t>(entry.name.size()));
    putLittle16(record, static_cast<std::uint16_t>(extra.size()));
    putLittle16(record, static_cast<std::uint16_t>(entry.comment.size()));
    putLittle16(record, 0);
    putLittle16(record, entry.internal);
    putLittle32(record, entry.external);
    putLittle32(record, field32(entry.offset, bigOffset));
    return record + entry.name + extra + entry.comment;
}

// The end records: zip64's and its locator when needed (or forced), then the plain one with
// the archive's comment.
std::string endRecords(std::int64_t count, std::int64_t start, std::int64_t size, bool force,
                       const std::string& comment) {
    const bool zip64 = force || count >= 0xFFFF || start >= kFull32 || size >= kFull32;
    std::string end;
    if (zip64) {
        putLittle32(end, kZip64EndRecord);
        putLittle64(end, 44);
        putLittle16(end, kVersionZip64);
        putLittle16(end, kVersionZip64);
        putLittle32(end, 0);
        putLittle32(end, 0);
        putLittle64(end, count);
        putLittle64(end, count);
        putLittle64(end, size);
        putLittle64(end, start);
        putLittle32(end, kZip64Locator);
        putLittle32(end, 0);
        putLittle64(end, start + size);
        putLittle32(end, 1);
    }
    putLittle32(end, kEndRecord);
    putLittle32(end, 0);
    for (int twice = 0; twice < 2; ++twice) putLittle16(end, zip64 ? 0xFFFF : static_cast<std::uint16_t>(count));
    putLittle32(end, zip64 ? kFull32 : static_cast<std::uint32_t>(size));
    putLittle32(end, zip64 ? kFull32 : static_cast<std::uint32_t>(start));
    putLittle16(end, static_cast<std::uint16_t>(comment.size()));
    return end + comment;
}

class ZipWriter : public ArchiveWriter {
public:
    ZipWriter(ArchiveOutput& output, const std::string& name, const ArchiveWriteOptions& options)
        : ArchiveWriter(name), sink_(output, options.torrentZip ? 9 : kDefaultDeflateLevel), zip64_(options.zip64),
          torrentZip_(options.torrentZip) {}

    bool copyEntry(ArchiveReader& from, std::size_t index, ArchiveError& error) override;
    bool beginEntry(const ArchiveEntry& facts, ArchiveError& error) override;
    bool write(const unsigned char* bytes, std::size_t size, ArchiveError& error) override;
    bool endEntry(ArchiveError& error) override;
    bool finish(ArchiveError& error) override;

private:
    // Copies entry index's stored bytes as they are, after a header of their own.
    bool copyRaw(ZipReader& from, std::size_t index, ArchiveError& error);
    // Moves count stored bytes from offset of from to the end of the new archive.
    bool copyBytes(ZipReader& from, std::int64_t offset, std::int64_t count, ArchiveError& error);
    // Sets error for a failed write; false.
    bool notWritten(ArchiveError& error, const std::string& reason) {
        return fail(error, ArchiveProblem::NotWritten, reason, current_.name);
    }

    // Gives current_ TorrentZip's fixed fields; false when its name comes before the last one's.
    bool torrentFields(ArchiveError& error);

    DeflateSink sink_;
    bool zip64_;
    bool torrentZip_; // the entries in TorrentZip's form, packed anew
    Written current_;
    bool open_ = false;
    std::vector<Written> written_;
};

bool ZipWriter::copyEntry(ArchiveReader& from, std::size_t index, ArchiveError& error) {
    if (auto* zip = dynamic_cast<ZipReader*>(&from); zip && !torrentZip_ && index < from.entries().size())
        return copyRaw(*zip, index, error);
    return ArchiveWriter::copyEntry(from, index, error);
}

bool ZipWriter::copyBytes(ZipReader& from, std::int64_t offset, std::int64_t count, ArchiveError& error) {
    std::vector<unsigned char> slice(static_cast<std::size_t>(std::min<std::int64_t>(count, kCopySlice)));
    std::string reason;
    while (count > 0) {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(count, kCopySlice));
        if (!from.readRaw(slice.data(), piece, offset, error)) return false;
        if (!sink_.raw(slice.data(), piece, reason)) return notWritten(error, reason);
        offset += piece;
        count -= piece;
    }
    return true;
}

// A data descriptor in the old archive is written again after the bytes, so that the flags
// stay as they were (an encrypted entry's check byte depends on them).
bool ZipWriter::copyRaw(ZipReader& from, std::size_t index, ArchiveError& error) {
    const ZipRecord& record = from.record(index);
    ZipData data;
    if (!from.locate(index, data, error)) return false;
    current_ = Written{record.entry.name, record.extra, data.localExtra, record.comment, record.madeBy,
                       record.needed, record.flags, record.method, record.time, record.date, record.internal,
                       record.external, record.entry.crc, record.entry.size, record.entry.packedSize, sink_.offset()};
    const bool zip64 = zip64_ || current_.size >= kFull32 || current_.packed >= kFull32;
    std::string reason;
    if (!sink_.raw(localHeader(current_, zip64), reason)) return notWritten(error, reason);
    if (!copyBytes(from, data.start, current_.packed, error)) return false;
    if (current_.flags & kFlagDescriptor) {
        std::string descriptor;
        putLittle32(descriptor, kDataDescriptor);
        putLittle32(descriptor, current_.crc);
        if (zip64) putLittle64(descriptor, current_.packed), putLittle64(descriptor, current_.size);
        else putLittle32(descriptor, static_cast<std::uint32_t>(current_.packed)),
             putLittle32(descriptor, static_cast<std::uint32_t>(current_.size));
        if (!sink_.raw(descriptor, reason)) return notWritten(error, reason);
    }
    written_.push_back(current_);
    crcs_.push_back(current_.crc);
    return true;
}

// A folder and an entry asked to be stored are stored; every other entry is deflated. The
// time goes in the DOS fields and, to the second, in an extended timestamp field.
bool ZipWriter::beginEntry(const ArchiveEntry& facts, ArchiveError& error) {
    if (open_) return fail(error, ArchiveProblem::NotWritten, "an entry was begun before the last one ended", facts.name);
    if (facts.name.size() > 0xFFFF) return fail(error, ArchiveProblem::BadName, "its name is too long for a zip", facts.name);
    const std::int64_t seconds = facts.timeKnown ? facts.modified : static_cast<std::int64_t>(std::time(nullptr));
    current_ = Written{};
    current_.name = facts.name;
    current_.flags = beyondAscii(facts.name) ? kFlagUtf8 : 0;
    current_.method = facts.folder || facts.stored ? 0 : 8;
    current_.external = facts.folder ? 0x10 : 0;
    unixToDos(seconds, current_.date, current_.time);
    current_.extra = current_.localExtra = timeExtra(seconds);
    if (torrentZip_ && !torrentFields(error)) return false;
    current_.offset = sink_.offset();
    std::string reason;
    if (!sink_.begin(localHeader(current_, zip64_), current_.method == 0, reason)) return notWritten(error, reason);
    open_ = true;
    return true;
}

// Every entry, a folder too, deflated; no extra field, no attribute, "made by" MS-DOS.
bool ZipWriter::torrentFields(ArchiveError& error) {
    if (!written_.empty() && lowerAscii(current_.name) < lowerAscii(written_.back().name))
        return fail(error, ArchiveProblem::NotWritten, "it comes before " + written_.back().name +
                    " in TorrentZip's order of names", current_.name);
    current_.madeBy = 0;
    current_.flags = static_cast<std::uint16_t>(current_.flags | kFlagMaximum);
    current_.method = 8;
    current_.external = 0;
    current_.time = kTorrentTime;
    current_.date = kTorrentDate;
    current_.extra.clear();
    current_.localExtra.clear();
    return true;
}

bool ZipWriter::write(const unsigned char* bytes, std::size_t size, ArchiveError& error) {
    std::string reason;
    if (!open_) return fail(error, ArchiveProblem::NotWritten, "no entry is begun");
    if (!sink_.write(bytes, size, reason)) return notWritten(error, reason);
    return true;
}

// The header is written again in place, now with the CRC-32 and sizes.
bool ZipWriter::endEntry(ArchiveError& error) {
    std::string reason;
    if (!open_) return fail(error, ArchiveProblem::NotWritten, "no entry is begun");
    open_ = false;
    if (!sink_.end(reason)) return notWritten(error, reason);
    current_.crc = sink_.crc();
    current_.size = sink_.size();
    current_.packed = sink_.packed();
    if (!zip64_ && (current_.size >= kFull32 || current_.packed >= kFull32))
        return fail(error, ArchiveProblem::TooLarge, "it is 4 GiB or larger", current_.name);
    if (!sink_.rawAt(localHeader(current_, zip64_), current_.offset, reason)) return notWritten(error, reason);
    written_.push_back(current_);
    crcs_.push_back(current_.crc);
    return true;
}

bool ZipWriter::finish(ArchiveError& error) {
    if (open_) return fail(error, ArchiveProblem::NotWritten, "the last entry was not ended", current_.name);
    const std::int64_t start = sink_.offset();
    std::string directory;
    for (const Written& entry : written_) directory += centralRecord(entry, zip64_);
    std::string comment;
    if (torrentZip_) comment = kTorrentComment + hex32(crc32(0, reinterpret_cast<const Bytef*>(directory.data()),
                                                              static_cast<uInt>(directory.size())));
    std::string reason;
    if (!sink_.raw(directory, reason) ||
        !sink_.raw(endRecords(static_cast<std::int64_t>(written_.size()), start,
                              static_cast<std::int64_t>(directory.size()), zip64_, comment), reason))
        return fail(error, ArchiveProblem::NotWritten, reason);
    return true;
}

} // namespace

std::unique_ptr<ArchiveWriter> createZipWithZlib(ArchiveOutput& output, const std::string& name,
                                                 const ArchiveWriteOptions& options) {
    return std::make_unique<ZipWriter>(output, name, options);
}
