// What the back ends share inside the archive library: the archive file read at offsets,
// the zip time fields, the gzip header, and how each back end is started.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/archive.h"

// An archive file opened for reading through the core's file operations; closed with it.
class ArchiveFile {
public:
    ArchiveFile() = default;
    ~ArchiveFile();
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    // Opens path and measures it, or reads through given when it is a file the caller holds
    // open (and closes); on failure reason says why, in the system's words.
    bool open(const std::string& path, FileHandle given, std::string& reason);
    std::int64_t size() const { return size_; }
    // Reads exactly count bytes at offset (within the file: the caller checks).
    bool read(unsigned char* bytes, std::size_t count, std::int64_t offset, std::string& reason);

private:
    FileHandle handle_ = kNoFile;
    bool owned_ = false;
    std::int64_t size_ = 0;
};

// Little-endian numbers as zip and gzip store them.
std::uint16_t little16(const unsigned char* bytes);
std::uint32_t little32(const unsigned char* bytes);
std::uint64_t little64(const unsigned char* bytes);
void putLittle16(std::string& out, std::uint16_t value);
void putLittle32(std::string& out, std::uint32_t value);
void putLittle64(std::string& out, std::uint64_t value);

// An MS-DOS date and time (local time, 2-second steps) as seconds since 1970 UTC, and back.
std::int64_t dosToUnix(std::uint16_t date, std::uint16_t time);
void unixToDos(std::int64_t seconds, std::uint16_t& date, std::uint16_t& time);

// What a gzip member's header (RFC 1952) says.
struct GzipHeader {
    std::size_t length = 0;     // bytes up to the deflate data
    std::string name;           // FNAME, empty when absent
    std::int64_t modified = 0;  // MTIME, 0 when absent
};

// Reads the header at the start of bytes (size of them); false when it is not whole.
bool parseGzipHeader(const unsigned char* bytes, std::size_t size, GzipHeader& header);

// The gzip archive at path listed as its one entry: the name from FNAME, else the archive's
// own name without ".gz"; the time from MTIME; CRC-32 and size (modulo 4 GiB) from the trailer.
bool listGzip(ArchiveFile& file, const std::string& path, ArchiveEntry& entry, ArchiveError& error);

// The zlib back end.
// given: a file the caller holds open, or kNoFile to open path.
std::unique_ptr<ArchiveReader> openZipWithZlib(const std::string& path, FileHandle given, ArchiveError& error);
std::unique_ptr<ArchiveReader> openGzipWithZlib(const std::string& path, FileHandle given, ArchiveError& error);
std::unique_ptr<ArchiveWriter> createZipWithZlib(ArchiveOutput& output, const std::string& name,
                                                 const ArchiveWriteOptions& options);
std::unique_ptr<ArchiveWriter> createGzipWithZlib(ArchiveOutput& output, const std::string& name);

// The libarchive back end (where the build has it).
std::unique_ptr<ArchiveReader> openWithLibarchive(const std::string& path, FileHandle given, ArchiveFormat format,
                                                   ArchiveError& error);
std::unique_ptr<ArchiveWriter> createWithLibarchive(ArchiveFormat format, ArchiveOutput& output,
                                                    const std::string& name, ArchiveError& error);
