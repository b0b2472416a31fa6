#include "core/file_kind.h"

#include <cstring>

#include "core/byte_order.h"

namespace {

// A signature: the bytes a kind of file begins with.
struct Signature {
    FileKind kind;
    unsigned char bytes[kSignatureBytes];
    std::size_t size;
};

const Signature kSignatures[] = {
    {FileKind::ZipArchive, {0x50, 0x4B, 0x03, 0x04}, 4},
    {FileKind::ZipArchive, {0x50, 0x4B, 0x05, 0x06}, 4},
    {FileKind::ZipArchive, {0x50, 0x4B, 0x07, 0x08}, 4},
    {FileKind::SevenZipArchive, {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C}, 6},
    {FileKind::GzipFile, {0x1F, 0x8B, 0x08}, 3},
    {FileKind::XzFile, {0xFD, 0x37, 0x7A, 0x58, 0x5A, 0x00}, 6},
    {FileKind::RarArchive, {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07}, 6},
    {FileKind::PngImage, {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}, 8},
    {FileKind::ElfProgram, {0x7F, 0x45, 0x4C, 0x46}, 4},
    {FileKind::WindowsProgram, {0x4D, 0x5A}, 2},
    {FileKind::PdfDocument, {0x25, 0x50, 0x44, 0x46, 0x2D}, 5},
};

// The words and the short name of each kind.
struct KindNames {
    FileKind kind;
    const char* text;
    const char* name;
};

const KindNames kNames[] = {
    {FileKind::ZipArchive, "a zip archive", "zip"},
    {FileKind::SevenZipArchive, "a 7z archive", "7z"},
    {FileKind::GzipFile, "a gzip file", "gzip"},
    {FileKind::XzFile, "an xz file", "xz"},
    {FileKind::RarArchive, "a rar archive", "rar"},
    {FileKind::PngImage, "a PNG image", "png"},
    {FileKind::ElfProgram, "an ELF program", "elf"},
    {FileKind::WindowsProgram, "a Windows program", "exe"},
    {FileKind::PdfDocument, "a PDF document", "pdf"},
};

// The names of kind, or null for Unrecognised.
const KindNames* namesOf(FileKind kind) {
    for (const KindNames& names : kNames)
        if (names.kind == kind) return &names;
    return nullptr;
}

} // namespace

// No signature begins as a ROM header does; the header is looked for first all the same, so
// that a ROM stays a ROM whatever signature is added here.
FileKind kindFromSignature(const unsigned char* head, std::size_t size) {
    if (orderFromRomHead(head, size) != ByteOrder::None) return FileKind::Unrecognised;
    for (const Signature& signature : kSignatures)
        if (size >= signature.size && std::memcmp(head, signature.bytes, signature.size) == 0) return signature.kind;
    return FileKind::Unrecognised;
}

const char* fileKindText(FileKind kind) {
    const KindNames* names = namesOf(kind);
    return names ? names->text : "";
}

const char* fileKindName(FileKind kind) {
    const KindNames* names = namesOf(kind);
    return names ? names->name : "";
}

std::string notARomText(FileKind kind) {
    return std::string(fileKindText(kind)) + ", not a ROM";
}

bool readFileHead(const std::string& path, FileHead& head, std::string& reason) {
    FileOps& ops = fileOps();
    head = FileHead();
    const FileHandle file = ops.open(path, OpenMode::Read, reason);
    if (file == kNoFile) return false;
    const std::int64_t size = ops.size(file, reason);
    const std::size_t length = size < static_cast<std::int64_t>(sizeof head.bytes) ? static_cast<std::size_t>(size)
                                                                                    : sizeof head.bytes;
    const bool read = size >= 0 && (length == 0 || ops.read(file, head.bytes, length, 0, reason));
    std::string ignored; // nothing was written: the close cannot lose anything
    ops.close(file, ignored);
    if (read) head.size = length;
    return read;
}
