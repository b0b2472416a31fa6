#include "archive/archive.h"

#include <cstring>

#include "core/file_kind.h"

namespace {

// A signature: the bytes at an offset that mark a format.
struct Signature {
    ArchiveFormat format;
    std::size_t offset;
    const char* bytes;
    std::size_t length;
};

// The first bytes of each format (zip: a local header, or the end record alone of an empty
// zip; tar: the POSIX "ustar" magic).
const Signature kSignatures[] = {
    {ArchiveFormat::Zip, 0, "PK\x03\x04", 4},
    {ArchiveFormat::Zip, 0, "PK\x05\x06", 4},
    {ArchiveFormat::SevenZip, 0, "7z\xBC\xAF\x27\x1C", 6},
    {ArchiveFormat::Gzip, 0, "\x1F\x8B\x08", 3},
    {ArchiveFormat::Xz, 0, "\xFD" "7zXZ\x00", 6},
    {ArchiveFormat::Bzip2, 0, "BZh", 3},
    {ArchiveFormat::Rar, 0, "Rar!\x1A\x07", 6},
    {ArchiveFormat::Tar, 257, "ustar", 5},
};

} // namespace

// The names the program shows, as users know the formats.
const char* archiveFormatName(ArchiveFormat format) {
    switch (format) {
    case ArchiveFormat::Zip: return "zip";
    case ArchiveFormat::SevenZip: return "7z";
    case ArchiveFormat::Gzip: return "gzip";
    case ArchiveFormat::Xz: return "xz";
    case ArchiveFormat::Bzip2: return "bzip2";
    case ArchiveFormat::Rar: return "rar";
    case ArchiveFormat::Tar: return "tar";
    case ArchiveFormat::None: break;
    }
    return "";
}

// The first signature the bytes carry; "BZh" must be followed by a block size digit, since
// three letters alone open many a text.
ArchiveFormat recogniseArchive(const unsigned char* bytes, std::size_t size) {
    for (const Signature& signature : kSignatures) {
        if (size < signature.offset + signature.length) continue;
        if (std::memcmp(bytes + signature.offset, signature.bytes, signature.length) != 0) continue;
        if (signature.format == ArchiveFormat::Bzip2 && (size < 4 || bytes[3] < '1' || bytes[3] > '9')) continue;
        return signature.format;
    }
    return ArchiveFormat::None;
}

// libarchive is built in where CMake found it (DORNAVEL_HAVE_LIBARCHIVE).
bool archiveBackendAvailable(ArchiveBackend backend) {
#ifdef DORNAVEL_HAVE_LIBARCHIVE
    (void)backend;
    return true;
#else
    return backend != ArchiveBackend::Libarchive;
#endif
}

// Only the head is read, as a walk does for every file it meets.
bool isArchiveFile(const std::string& path) {
    FileHead head;
    std::string ignored;
    return readFileHead(path, head, ignored) && recogniseArchive(head.bytes, head.size) != ArchiveFormat::None;
}
