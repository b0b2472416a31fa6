// What the archive actions' tests put inside their archives.
#pragma once

#include <algorithm>

#include "archive/archive.h"
#include "core/tests/test_files.h"

// A 64 KiB v64 ROM: a header's first word, then counting bytes.
inline Bytes v64Rom() {
    Bytes rom(64 * 1024);
    for (std::size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<unsigned char>(i * 7);
    const unsigned char first[] = {0x37, 0x80, 0x40, 0x12};
    std::copy(first, first + 4, rom.begin());
    return rom;
}

// A readme, the entry that is no ROM.
inline const Bytes kReadme{'h', 'i', '\n'};

// The formats the archive actions write, each with the back end that writes it.
struct WrittenKind {
    const char* name;
    ArchiveFormat format;
    ArchiveBackend backend;
};
inline const WrittenKind kWrittenKinds[] = {
    {"game.zip", ArchiveFormat::Zip, ArchiveBackend::Zlib},
    {"game.gz", ArchiveFormat::Gzip, ArchiveBackend::Zlib},
    {"game.7z", ArchiveFormat::SevenZip, ArchiveBackend::Libarchive}, // 7z is written by libarchive only
};
