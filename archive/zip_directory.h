// A zip's central directory and local headers as PKWARE's APPNOTE describes them: the
// records read, checked against the file and each other, and kept for a raw copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/backend.h"

// Record signatures.
constexpr std::uint32_t kLocalHeader = 0x04034B50, kCentralHeader = 0x02014B50, kEndRecord = 0x06054B50,
                        kZip64EndRecord = 0x06064B50, kZip64Locator = 0x07064B50, kDataDescriptor = 0x08074B50;

// General purpose flags.
constexpr std::uint16_t kFlagEncrypted = 1, kFlagDescriptor = 8, kFlagUtf8 = 0x800;

// Extra field ids.
constexpr std::uint16_t kZip64Extra = 0x0001, kTimeExtra = 0x5455;

// One entry's central record, as much of it as a copy keeps.
struct ZipRecord {
    ArchiveEntry entry;
    std::uint16_t madeBy = 0, needed = 0, flags = 0, method = 0, time = 0, date = 0, internal = 0;
    std::uint32_t external = 0;
    std::int64_t localOffset = 0;
    std::int64_t limit = 0; // where its data must end: the next local header, or the directory
    std::string extra;    // the central extra fields but zip64's
    std::string comment;
};

// Where an entry's data is, from its local header.
struct ZipData {
    std::int64_t start = 0;
    std::string localExtra; // the local extra fields but zip64's
};

// Reads the directory of the zip in file (named path in errors): every record, checked.
bool readZipDirectory(ArchiveFile& file, const std::string& path, std::vector<ZipRecord>& records,
                      ArchiveError& error);

// Reads the local header of record and checks it against the central one and its limit.
bool readLocalHeader(ArchiveFile& file, const ZipRecord& record, ZipData& data, std::string& reason);

// extra without its fields of id (the zip64 field, rewritten on every copy).
std::string withoutExtra(const std::string& extra, std::uint16_t id);
