// Files that are recognisably something other than a ROM, told by the signature they begin
// with: archives, compressed files, pictures, programs, documents. The byte order of a ROM is
// told by its first byte alone, and a 7z archive (37 7A) begins as a Doctor V64 ROM (37 80)
// does: such a file must never be byte-swapped, fixed or described as a ROM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/file_ops.h"

// What a file's first bytes say it is.
enum class FileKind {
    Unrecognised,   // no signature known here: perhaps a ROM
    ZipArchive,     // 50 4B 03 04, 50 4B 05 06 (empty), 50 4B 07 08 (spanned)
    SevenZipArchive,// 37 7A BC AF 27 1C
    GzipFile,       // 1F 8B 08
    XzFile,         // FD 37 7A 58 5A 00
    RarArchive,     // 52 61 72 21 1A 07
    PngImage,       // 89 50 4E 47 0D 0A 1A 0A
    ElfProgram,     // 7F 45 4C 46
    WindowsProgram, // 4D 5A ("MZ")
    PdfDocument     // 25 50 44 46 2D ("%PDF-")
};

// The most bytes a signature takes: reading this many from the start is always enough.
constexpr std::size_t kSignatureBytes = 8;

// The kind the first size bytes of a file (at most kSignatureBytes are looked at) say it is.
// A ROM's header in any of the three orders is always Unrecognised.
FileKind kindFromSignature(const unsigned char* head, std::size_t size);

// The kind in words, with its article: "a 7z archive", "a zip archive" ("" for Unrecognised).
const char* fileKindText(FileKind kind);

// The kind's short name, for the JSON: "7z", "zip", "gzip" ... ("" for Unrecognised).
const char* fileKindName(FileKind kind);

// "a 7z archive, not a ROM": what a file of kind is told to be when it is refused.
std::string notARomText(FileKind kind);

// The first bytes of a file: as many as a signature takes, fewer in a shorter file.
struct FileHead {
    unsigned char bytes[kSignatureBytes] = {};
    std::size_t size = 0;
};

// Reads the head of the file at path. The file is opened read-only, never written, and never
// waited on (a pipe or a device is refused as not a regular file). False with reason set
// when it cannot be opened, measured or read.
bool readFileHead(const std::string& path, FileHead& head, std::string& reason);
