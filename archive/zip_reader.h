// A zip read through zlib: the directory from zip_directory, stored entries read as they
// are, deflated ones inflated as they are read. The zip writer of this back end takes its
// entries' stored bytes as they are.
#pragma once

#include "archive/inflate_stream.h"
#include "archive/zip_directory.h"

class ZipReader : public ArchiveReader {
public:
    explicit ZipReader(const std::string& path) : ArchiveReader(ArchiveFormat::Zip, path) {}

    // Opens the file and reads its directory.
    bool open(FileHandle given, ArchiveError& error);
    const ZipRecord& record(std::size_t index) const { return records_[index]; }
    // Where entry index's data starts, from its checked local header.
    bool locate(std::size_t index, ZipData& data, ArchiveError& error);
    // Reads size bytes of the archive at offset, for a raw copy.
    bool readRaw(unsigned char* bytes, std::size_t size, std::int64_t offset, ArchiveError& error);

private:
    bool startEntry(std::size_t index, ArchiveError& error) override;
    std::int64_t readSome(unsigned char* buffer, std::size_t size, ArchiveError& error) override;
    std::int64_t packedSoFar() const override;

    ArchiveFile file_;
    std::vector<ZipRecord> records_;
    std::size_t index_ = 0;
    bool stored_ = false;
    std::int64_t next_ = 0, left_ = 0; // a stored entry's next byte and bytes left
    InflateStream inflater_;
};
