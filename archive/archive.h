// Archives as collections keep ROMs and patches: zip, 7z, gzip and the other kinds. An archive
// is recognised by its first bytes, its entries are listed, each entry is read as a stream
// (never unpacked to the disk), and a new archive of the same kind is written entry by entry.
// Two back ends do the work: libarchive where the build has it (Linux, macOS), and zlib with
// the zip container written here (every build; the only one on Windows). Every failure is a
// value naming the archive, the entry and the reason; nothing here creates a file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/file_ops.h"
#include "core/rom_file.h"

class NewFile;

// The kinds of archive recognised by their signature.
enum class ArchiveFormat { None, Zip, SevenZip, Gzip, Xz, Bzip2, Rar, Tar };

// The name shown for a format: "zip", "7z", "gzip", "xz", "bzip2", "rar", "tar" ("" for None).
const char* archiveFormatName(ArchiveFormat format);

// How many first bytes recogniseArchive looks at, at most (a tar header's magic is at 257).
constexpr std::size_t kArchiveSignatureBytes = 262;

// The format whose signature the first bytes (size of them) carry, or None.
ArchiveFormat recogniseArchive(const unsigned char* bytes, std::size_t size);

// Whether the file at path starts with an archive's signature (false when it cannot be read:
// the caller, taking it as a file, tells why).
bool isArchiveFile(const std::string& path);

// Which code reads and writes archives.
enum class ArchiveBackend {
    Default,    // libarchive where the build has it, else zlib
    Libarchive, // every format libarchive reads; writes zip, 7z and gzip
    Zlib        // zip (store, deflate, zip64) and gzip only
};

// Whether this build has the back end (Default and Zlib always).
bool archiveBackendAvailable(ArchiveBackend backend);

// What is wrong with an entry's name, for a caller about to use it as a file name.
enum class NameProblem { None, Empty, NotUtf8, ControlCharacter, Backslash, Absolute, ParentFolder };

// The problem of name, the first found in the order of the enumeration.
NameProblem checkEntryName(const std::string& name);

// The reason for a problem in English, e.g. "its name climbs out of its folder with \"..\"".
const char* nameProblemText(NameProblem problem);

// One entry as the archive lists it. Sizes and the CRC-32 are those the archive states; they
// are checked against the data when the entry is read.
struct ArchiveEntry {
    std::string name;                // as stored, '/' between folders
    std::int64_t size = -1;          // bytes once unpacked; -1 when the archive does not say
    std::int64_t packedSize = -1;    // bytes stored; -1 when the back end does not say
    bool crcKnown = false;
    std::uint32_t crc = 0;           // CRC-32 of the unpacked bytes
    bool timeKnown = false;
    std::int64_t modified = 0;       // seconds since 1970-01-01 UTC
    bool folder = false;
    bool encrypted = false;
    bool stored = false;             // kept without compression
    NameProblem nameProblem = NameProblem::None;
    bool duplicate = false;          // an earlier entry has the same name
};

// Why an archive or an entry could not be read or written.
enum class ArchiveProblem {
    None,
    Unreadable,     // the file could not be opened or read (the system's reason)
    NotAnArchive,   // no archive signature
    Unsupported,    // a format, method or feature this build does not read or write
    Truncated,      // the archive ends before its data does
    Damaged,        // inconsistent: a directory that lies, data that does not inflate
    CrcMismatch,    // the unpacked bytes do not have the CRC-32 or size the archive states
    Encrypted,      // the entry needs a password
    TooLarge,       // more than 2 GiB, or more than 1000 times its packed size (a zip bomb)
    BadName,        // a name no caller should use as a file name
    DuplicateName,  // two entries of one name
    Nested,         // the entry is itself an archive
    NotWritten      // the new archive could not be written (the output's reason)
};

// A problem with the archive's name as given, the entry's name (empty when the problem is the
// archive's) and the reason in English.
struct ArchiveError {
    ArchiveProblem problem = ArchiveProblem::None;
    std::string archive;
    std::string entry;
    std::string reason;
};

// The message of an error: "ARCHIVE: ENTRY: REASON" (or "ARCHIVE: REASON"), every name
// escaped as file names are shown.
std::string archiveErrorText(const ArchiveError& error);

// The largest unpacked-to-packed ratio read, past kRatioFloor bytes (below it, a small text
// of one repeated character is no bomb).
constexpr std::int64_t kLargestRatio = 1000;
constexpr std::int64_t kRatioFloor = std::int64_t(1) << 20;

// An open archive: its listing, and one entry at a time read as a stream.
class ArchiveReader {
public:
    virtual ~ArchiveReader() = default;

    ArchiveFormat format() const { return format_; }
    const std::string& path() const { return path_; }
    const std::vector<ArchiveEntry>& entries() const { return entries_; }

    // Starts reading entry index from its first byte; any entry, in any order.
    bool openEntry(std::size_t index, ArchiveError& error);
    // Up to size bytes of the open entry into buffer: their count, 0 at the end (where the
    // size and CRC-32 the archive states are checked), -1 on failure. Past 2 GiB or the
    // ratio limit the reading stops with TooLarge at once.
    std::int64_t read(unsigned char* buffer, std::size_t size, ArchiveError& error);
    // The format of an archive nested in the open entry, known from its first bytes once
    // read (None when it is no archive).
    ArchiveFormat nestedFormat() const;

protected:
    ArchiveReader(ArchiveFormat format, std::string path) : format_(format), path_(std::move(path)) {}
    // The back end's part of openEntry and read; packedSoFar is how many stored bytes the
    // entry has taken from the archive until now.
    virtual bool startEntry(std::size_t index, ArchiveError& error) = 0;
    virtual std::int64_t readSome(unsigned char* buffer, std::size_t size, ArchiveError& error) = 0;
    virtual std::int64_t packedSoFar() const = 0;
    // Sets the listing, marking names with problems and repeated names.
    void setEntries(std::vector<ArchiveEntry> entries);
    // Takes back the size and CRC-32 stated for an entry, once they prove to cover only part
    // of it (a gzip file of several members states the last one's).
    void forgetStatedFacts(std::size_t index);
    // Sets error to problem with reason, naming the archive and entry index (none: -1); false.
    bool fail(ArchiveError& error, ArchiveProblem problem, const std::string& reason, std::int64_t index = -1) const;

private:
    // Checks what has been read of the open entry against the limits; false past one.
    bool withinLimits(ArchiveError& error);
    // Checks the size and CRC-32 the archive states once the entry has ended.
    bool checkEnd(ArchiveError& error);

    ArchiveFormat format_;
    std::string path_;
    std::vector<ArchiveEntry> entries_;
    std::int64_t open_ = -1;      // the entry being read
    std::int64_t produced_ = 0;   // its bytes read until now
    std::uint32_t crc_ = 0;
    std::string start_;           // its first bytes, for nestedFormat
    bool ended_ = false;
};

// Opens the archive at path with the back end and lists its entries. An archive of a format
// the back end does not read is refused with Unsupported, saying what the build reads.
std::unique_ptr<ArchiveReader> openArchive(const std::string& path, ArchiveError& error,
                                           ArchiveBackend backend = ArchiveBackend::Default);
// The same for a file the caller holds open (and closes after the reader): a new archive read
// back through its NewFile's handle before commit. name is the one messages give.
std::unique_ptr<ArchiveReader> openArchive(const std::string& name, FileHandle file, ArchiveError& error,
                                           ArchiveBackend backend = ArchiveBackend::Default);

// Where a new archive's bytes go: a file the caller made (for a new file, on the road of
// core/new_file.h: temporary name, durable, renamed into place), or memory.
class ArchiveOutput {
public:
    virtual ~ArchiveOutput() = default;
    // Writes size bytes at offset; on failure reason says why, in the system's words.
    virtual bool write(const unsigned char* bytes, std::size_t size, std::int64_t offset, std::string& reason) = 0;
};

// An output into a NewFile the caller created and will commit.
class NewFileArchiveOutput : public ArchiveOutput {
public:
    explicit NewFileArchiveOutput(NewFile& file) : file_(file) {}
    bool write(const unsigned char* bytes, std::size_t size, std::int64_t offset, std::string& reason) override;

private:
    NewFile& file_;
};

// An output into a file handle the caller opened and will close.
class HandleOutput : public ArchiveOutput {
public:
    explicit HandleOutput(FileHandle file) : file_(file) {}
    bool write(const unsigned char* bytes, std::size_t size, std::int64_t offset, std::string& reason) override;

private:
    FileHandle file_;
};

// How a new archive is written.
struct ArchiveWriteOptions {
    bool zip64 = false; // zlib zip: zip64 records for every entry, even small ones
    // A zip in TorrentZip's fixed form, which DAT managers check: every entry deflated at
    // level 9, its time 1996-12-24 23:32, no extra fields, the entries in the order of their
    // names in lower case (the caller gives them so), and the comment TORRENTZIPPED- with the
    // CRC-32 of the central directory. Written by the zlib back end whatever is asked.
    bool torrentZip = false;
};

// A new archive written entry by entry, in the order the calls come.
class ArchiveWriter {
public:
    virtual ~ArchiveWriter() = default;

    // Copies entry index of from unchanged: name, time and bytes. Its stored bytes as they are
    // where the back ends allow (zlib zip to zlib zip), otherwise unpacked, packed again with
    // the entry's method and the CRC-32 of what was read compared with the one it states.
    virtual bool copyEntry(ArchiveReader& from, std::size_t index, ArchiveError& error);
    // Starts a new entry with facts' name, time, folder and stored; its bytes follow by write.
    virtual bool beginEntry(const ArchiveEntry& facts, ArchiveError& error) = 0;
    virtual bool write(const unsigned char* bytes, std::size_t size, ArchiveError& error) = 0;
    virtual bool endEntry(ArchiveError& error) = 0;
    // Writes what ends the archive (a zip's central directory). Nothing may follow.
    virtual bool finish(ArchiveError& error) = 0;

    // The CRC-32 of each entry written until now, in order, for checkArchiveCrcs.
    const std::vector<std::uint32_t>& writtenCrcs() const { return crcs_; }

protected:
    explicit ArchiveWriter(std::string name) : name_(std::move(name)) {}
    // Sets error to problem with reason, naming the new archive and entry; returns false.
    bool fail(ArchiveError& error, ArchiveProblem problem, const std::string& reason,
              const std::string& entry = std::string()) const;

    std::string name_;
    std::vector<std::uint32_t> crcs_;
};

// Starts a new archive of format (zip, 7z or gzip) into output, named name in messages.
std::unique_ptr<ArchiveWriter> createArchiveWriter(ArchiveFormat format, ArchiveOutput& output,
                                                   const std::string& name, ArchiveError& error,
                                                   ArchiveBackend backend = ArchiveBackend::Default,
                                                   const ArchiveWriteOptions& options = ArchiveWriteOptions());

// Reads every entry of a new archive and compares its CRC-32 with the one written, so that a
// caller renames it into place only once it reads back whole (open it through the NewFile's
// handle: Windows lets no other open read a file being written).
bool checkArchiveCrcs(ArchiveReader& reader, const std::vector<std::uint32_t>& crcs, ArchiveError& error);
