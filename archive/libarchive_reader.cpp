// Archives read through libarchive: every format it reads. The archive file is handed to it
// through the core's file operations, one block at a time; an entry is reached by reading
// the headers before it (from the start again when an earlier entry is asked for).
#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/backend.h"
#include "archive/zip_directory.h"
#include "core/path_name.h"

namespace {

// The block libarchive is handed at a time.
const std::size_t kBlockBytes = 128 * 1024;

// The formats that compress one file with no container, which libarchive reads as "raw".
bool isSingleFile(ArchiveFormat format) {
    return format == ArchiveFormat::Gzip || format == ArchiveFormat::Xz || format == ArchiveFormat::Bzip2;
}

// The problem libarchive's message names.
ArchiveProblem problemOf(const std::string& text) {
    auto has = [&](const char* word) { return text.find(word) != std::string::npos; };
    if (has("runcated") || has("Premature end") || has("unexpected end")) return ArchiveProblem::Truncated;
    if (has("CRC") || has("crc") || has("checksum") || has("wrong size")) return ArchiveProblem::CrcMismatch;
    if (has("ncrypt") || has("assphrase")) return ArchiveProblem::Encrypted;
    if (has("nsupported") || has("not supported")) return ArchiveProblem::Unsupported;
    return ArchiveProblem::Damaged;
}

// The single file's name: the archive's own without its compression's extension.
std::string singleFileName(const std::string& path) {
    std::string name = nameOf(path);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

class LibarchiveReader : public ArchiveReader {
public:
    LibarchiveReader(const std::string& path, ArchiveFormat format) : ArchiveReader(format, path) {}
    ~LibarchiveReader() override { close(); }

    // Opens the file and lists every entry.
    bool open(FileHandle given, ArchiveError& error);

private:
    bool startEntry(std::size_t index, ArchiveError& error) override;
    std::int64_t readSome(unsigned char* buffer, std::size_t size, ArchiveError& error) override;
    // A 7z unpacks its entries from solid blocks that libarchive reads ahead while it skips
    // the entries before: an entry's packed bytes are those read from the archive's start.
    std::int64_t packedSoFar() const override {
        if (!handle_) return 0;
        return archive_filter_bytes(handle_, -1) - (format() == ArchiveFormat::SevenZip ? 0 : entryStart_);
    }

    // Starts libarchive on the file from its first byte.
    bool begin(ArchiveError& error);
    void close();
    // Sets error from libarchive's last message about entry index (-1: the archive).
    bool failFromLibarchive(ArchiveError& error, std::int64_t index);
    // Lists one header's entry.
    ArchiveEntry entryOf(struct archive_entry* header) const;
    // Checks a zip's directory and local headers as the zlib back end does (libarchive reads
    // on past one that lies), and takes the sizes and CRC-32s it states into the listing.
    bool checkZipDirectory(std::vector<ArchiveEntry>& entries, ArchiveError& error);
    // Lists a gzip, xz or bzip2 file's one entry.
    bool openSingleFile(ArchiveError& error);

    static la_ssize_t readBlock(struct archive*, void* self, const void** block);
    static la_int64_t seek(struct archive*, void* self, la_int64_t offset, int whence);
    static la_int64_t skip(struct archive*, void* self, la_int64_t count);

    ArchiveFile file_;
    struct archive* handle_ = nullptr;
    std::vector<unsigned char> block_;
    std::int64_t position_ = 0;   // the next byte handed to libarchive
    std::string readReason_;      // why the file could not be read
    std::int64_t header_ = -1;    // the entry whose header was read last
    std::int64_t entryStart_ = 0;
    std::int64_t produced_ = 0;   // bytes of the entry read until now
    std::vector<ZipRecord> records_; // a zip's directory, for the local headers' checks
};

la_ssize_t LibarchiveReader::readBlock(struct archive* handle, void* self, const void** block) {
    auto& reader = *static_cast<LibarchiveReader*>(self);
    const std::int64_t count = std::min<std::int64_t>(reader.file_.size() - reader.position_, kBlockBytes);
    if (count <= 0) return 0;
    if (!reader.file_.read(reader.block_.data(), static_cast<std::size_t>(count), reader.position_, reader.readReason_)) {
        archive_set_error(handle, EIO, "%s", reader.readReason_.c_str());
        return -1;
    }
    reader.position_ += count;
    *block = reader.block_.data();
    return static_cast<la_ssize_t>(count);
}

la_int64_t LibarchiveReader::seek(struct archive*, void* self, la_int64_t offset, int whence) {
    auto& reader = *static_cast<LibarchiveReader*>(self);
    const std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? reader.position_ : reader.file_.size();
    if (base + offset < 0) return ARCHIVE_FATAL;
    reader.position_ = std::min<std::int64_t>(base + offset, reader.file_.size());
    return reader.position_;
}

la_int64_t LibarchiveReader::skip(struct archive*, void* self, la_int64_t count) {
    auto& reader = *static_cast<LibarchiveReader*>(self);
    const std::int64_t moved = std::min<std::int64_t>(count, reader.file_.size() - reader.position_);
    reader.position_ += moved;
    return moved;
}

bool LibarchiveReader::begin(ArchiveError& error) {
    close();
    handle_ = archive_read_new();
    archive_read_support_filter_all(handle_);
    if (isSingleFile(format())) archive_read_support_format_raw(handle_);
    else archive_read_support_format_all(handle_);
    block_.resize(kBlockBytes);
    position_ = 0;
    header_ = -1;
    archive_read_set_callback_data(handle_, this);
    archive_read_set_read_callback(handle_, &LibarchiveReader::readBlock);
    archive_read_set_seek_callback(handle_, &LibarchiveReader::seek);
    archive_read_set_skip_callback(handle_, &LibarchiveReader::skip);
    if (archive_read_open1(handle_) != ARCHIVE_OK) return failFromLibarchive(error, -1);
    return true;
}

void LibarchiveReader::close() {
    if (handle_) archive_read_free(handle_);
    handle_ = nullptr;
}

bool LibarchiveReader::failFromLibarchive(ArchiveError& error, std::int64_t index) {
    const char* text = handle_ ? archive_error_string(handle_) : nullptr;
    const std::string message = text ? text : "libarchive cannot read it";
    if (index < 0 && isSingleFile(format())) index = 0;
    if (!readReason_.empty()) return fail(error, ArchiveProblem::Unreadable, readReason_, index);
    return fail(error, problemOf(message), "libarchive: " + message, index);
}

// libarchive keeps no CRC-32 or packed size it would tell; "stored" comes from the name it
// gives the entry's format, e.g. "ZIP 1.0 (uncompressed)".
ArchiveEntry LibarchiveReader::entryOf(struct archive_entry* header) const {
    ArchiveEntry entry;
    const char* name = archive_entry_pathname_utf8(header);
    if (!name) name = archive_entry_pathname(header);
    entry.name = name ? name : "";
    if (archive_entry_size_is_set(header)) entry.size = archive_entry_size(header);
    entry.timeKnown = archive_entry_mtime_is_set(header) != 0;
    entry.modified = entry.timeKnown ? static_cast<std::int64_t>(archive_entry_mtime(header)) : 0;
    entry.folder = archive_entry_filetype(header) == AE_IFDIR;
    entry.encrypted = archive_entry_is_encrypted(header) != 0;
    const char* kind = archive_format_name(handle_);
    entry.stored = kind && std::strstr(kind, "uncompressed");
    return entry;
}

bool LibarchiveReader::open(FileHandle given, ArchiveError& error) {
    if (!file_.open(path(), given, error.reason)) {
        error.problem = ArchiveProblem::Unreadable;
        error.archive = path();
        return false;
    }
    if (isSingleFile(format())) return openSingleFile(error);
    if (!begin(error)) return false;
    std::vector<ArchiveEntry> entries;
    for (;;) {
        struct archive_entry* header = nullptr;
        const int result = archive_read_next_header(handle_, &header);
        if (result == ARCHIVE_EOF) break;
        if (result < ARCHIVE_WARN) return failFromLibarchive(error, -1);
        entries.push_back(entryOf(header));
    }
    if (format() == ArchiveFormat::Zip && !checkZipDirectory(entries, error)) return false;
    setEntries(std::move(entries));
    return begin(error);
}

// The one file is listed before libarchive starts, so that its refusals name it.
bool LibarchiveReader::openSingleFile(ArchiveError& error) {
    ArchiveEntry entry;
    entry.name = singleFileName(path());
    if (format() == ArchiveFormat::Gzip && !listGzip(file_, path(), entry, error)) return false;
    setEntries({entry});
    return begin(error);
}

bool LibarchiveReader::checkZipDirectory(std::vector<ArchiveEntry>& entries, ArchiveError& error) {
    std::vector<ZipRecord> records;
    if (!readZipDirectory(file_, path(), records, error)) return false;
    if (records.size() != entries.size())
        return fail(error, ArchiveProblem::Damaged, "its directory lists " + std::to_string(records.size()) +
                    " entries, its local headers " + std::to_string(entries.size()));
    for (std::size_t i = 0; i < records.size(); ++i) {
        // libarchive turns the backslashes of a zip made on Windows into slashes; the name
        // listed is the one stored, for the name checks to see (libarchive gives none for a
        // name it cannot convert from the zip's code page).
        std::string name = records[i].entry.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        if (!entries[i].name.empty() && name != entries[i].name && records[i].entry.name != entries[i].name) {
            error = {ArchiveProblem::Damaged, path(), records[i].entry.name,
                     "libarchive lists \"" + entries[i].name + "\" in its place"};
            return false;
        }
        entries[i].name = records[i].entry.name;
        entries[i].size = records[i].entry.size;
        entries[i].packedSize = records[i].entry.packedSize;
        entries[i].crcKnown = true;
        entries[i].crc = records[i].entry.crc;
        entries[i].stored = records[i].entry.stored;
    }
    records_ = std::move(records);
    return true;
}

bool LibarchiveReader::startEntry(std::size_t index, ArchiveError& error) {
    ZipData data;
    std::string reason;
    if (index < records_.size() && !readLocalHeader(file_, records_[index], data, reason))
        return fail(error, ArchiveProblem::Damaged, reason, index);
    if (static_cast<std::int64_t>(index) <= header_ && !begin(error)) return false;
    while (header_ < static_cast<std::int64_t>(index)) {
        struct archive_entry* header = nullptr;
        const int result = archive_read_next_header(handle_, &header);
        if (result == ARCHIVE_EOF) return fail(error, ArchiveProblem::Damaged, "the archive ends before it", index);
        if (result < ARCHIVE_WARN) return failFromLibarchive(error, index);
        ++header_;
    }
    entryStart_ = archive_filter_bytes(handle_, -1);
    produced_ = 0;
    return true;
}

std::int64_t LibarchiveReader::readSome(unsigned char* buffer, std::size_t size, ArchiveError& error) {
    const la_ssize_t got = archive_read_data(handle_, buffer, size);
    if (got < 0) {
        failFromLibarchive(error, header_);
        header_ = INT32_MAX; // the next entry asked for starts again from the first byte
        return -1;
    }
    // A gzip file of several members states the last one's size and CRC-32 in its trailer;
    // libarchive checks each member's own.
    const ArchiveEntry& entry = entries()[static_cast<std::size_t>(header_)];
    produced_ += got;
    if (format() == ArchiveFormat::Gzip && entry.size >= 0 && produced_ > entry.size) forgetStatedFacts(0);
    return got;
}

} // namespace

std::unique_ptr<ArchiveReader> openWithLibarchive(const std::string& path, FileHandle given, ArchiveFormat format,
                                                   ArchiveError& error) {
    auto reader = std::make_unique<LibarchiveReader>(path, format);
    if (!reader->open(given, error)) return nullptr;
    return reader;
}
