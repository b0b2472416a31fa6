// Zip and 7z archives written through libarchive, its blocks handed to the caller's output.
// libarchive packs every entry afresh, so a copy is always unpacked and packed again.
#include <archive.h>
#include <archive_entry.h>

#include <zlib.h>

#include "archive/backend.h"

namespace {

class LibarchiveWriter : public ArchiveWriter {
public:
    LibarchiveWriter(ArchiveFormat format, ArchiveOutput& output, const std::string& name)
        : ArchiveWriter(name), format_(format), output_(output) {}
    ~LibarchiveWriter() override {
        if (entry_) archive_entry_free(entry_);
        if (handle_) archive_write_free(handle_);
    }

    // Starts libarchive on the output.
    bool start(ArchiveError& error);
    bool beginEntry(const ArchiveEntry& facts, ArchiveError& error) override;
    bool write(const unsigned char* bytes, std::size_t size, ArchiveError& error) override;
    bool endEntry(ArchiveError& error) override;
    bool finish(ArchiveError& error) override;

private:
    // Sets error from the output's reason or libarchive's message.
    bool failFromLibarchive(ArchiveError& error);
    static la_ssize_t writeBlock(struct archive*, void* self, const void* bytes, size_t size);

    ArchiveFormat format_;
    ArchiveOutput& output_;
    struct archive* handle_ = nullptr;
    struct archive_entry* entry_ = nullptr;
    std::int64_t offset_ = 0;
    std::string outputReason_;
    std::string entryName_;
    std::uint32_t crc_ = 0;
};

la_ssize_t LibarchiveWriter::writeBlock(struct archive* handle, void* self, const void* bytes, size_t size) {
    auto& writer = *static_cast<LibarchiveWriter*>(self);
    if (!writer.output_.write(static_cast<const unsigned char*>(bytes), size, writer.offset_, writer.outputReason_)) {
        archive_set_error(handle, EIO, "%s", writer.outputReason_.c_str());
        return -1;
    }
    writer.offset_ += static_cast<std::int64_t>(size);
    return static_cast<la_ssize_t>(size);
}

bool LibarchiveWriter::failFromLibarchive(ArchiveError& error) {
    if (!outputReason_.empty()) return fail(error, ArchiveProblem::NotWritten, outputReason_, entryName_);
    const char* text = archive_error_string(handle_);
    return fail(error, ArchiveProblem::NotWritten, std::string("libarchive: ") + (text ? text : "it cannot write"), entryName_);
}

// No padding after the last block: the archive ends where its format does.
bool LibarchiveWriter::start(ArchiveError& error) {
    handle_ = archive_write_new();
    const int chosen = format_ == ArchiveFormat::Zip ? archive_write_set_format_zip(handle_)
                                                     : archive_write_set_format_7zip(handle_);
    if (chosen != ARCHIVE_OK || archive_write_set_bytes_in_last_block(handle_, 1) != ARCHIVE_OK ||
        archive_write_open(handle_, this, nullptr, &LibarchiveWriter::writeBlock, nullptr) != ARCHIVE_OK)
        return failFromLibarchive(error);
    return true;
}

// 7z needs an entry's size before its bytes; zip takes one of unknown size with a data
// descriptor.
bool LibarchiveWriter::beginEntry(const ArchiveEntry& facts, ArchiveError& error) {
    entryName_ = facts.name;
    if (format_ == ArchiveFormat::SevenZip && !facts.folder && facts.size < 0)
        return fail(error, ArchiveProblem::Unsupported, "a 7z entry needs its size before its bytes", entryName_);
    // A zip keeps each entry's method; 7z packs them all with its one method.
    if (format_ == ArchiveFormat::Zip &&
        (facts.stored ? archive_write_zip_set_compression_store(handle_)
                      : archive_write_zip_set_compression_deflate(handle_)) < ARCHIVE_WARN)
        return failFromLibarchive(error);
    if (entry_) archive_entry_free(entry_);
    entry_ = archive_entry_new();
    archive_entry_set_pathname_utf8(entry_, facts.name.c_str());
    archive_entry_set_filetype(entry_, facts.folder ? AE_IFDIR : AE_IFREG);
    archive_entry_set_perm(entry_, facts.folder ? 0755 : 0644);
    if (facts.size >= 0 && !facts.folder) archive_entry_set_size(entry_, facts.size);
    if (facts.timeKnown) archive_entry_set_mtime(entry_, static_cast<time_t>(facts.modified), 0);
    if (archive_write_header(handle_, entry_) < ARCHIVE_WARN) return failFromLibarchive(error);
    crc_ = crc32(0, Z_NULL, 0);
    return true;
}

bool LibarchiveWriter::write(const unsigned char* bytes, std::size_t size, ArchiveError& error) {
    crc_ = crc32(crc_, bytes, static_cast<uInt>(size));
    while (size > 0) {
        const la_ssize_t done = archive_write_data(handle_, bytes, size);
        if (done <= 0) return done == 0 ? fail(error, ArchiveProblem::NotWritten, "it is longer than its stated size", entryName_)
                                        : failFromLibarchive(error);
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

bool LibarchiveWriter::endEntry(ArchiveError& error) {
    if (archive_write_finish_entry(handle_) < ARCHIVE_WARN) return failFromLibarchive(error);
    crcs_.push_back(crc_);
    return true;
}

bool LibarchiveWriter::finish(ArchiveError& error) {
    entryName_.clear();
    if (archive_write_close(handle_) != ARCHIVE_OK) return failFromLibarchive(error);
    return true;
}

} // namespace

std::unique_ptr<ArchiveWriter> createWithLibarchive(ArchiveFormat format, ArchiveOutput& output,
                                                    const std::string& name, ArchiveError& error) {
    auto writer = std::make_unique<LibarchiveWriter>(format, output, name);
    if (!writer->start(error)) return nullptr;
    return writer;
}
