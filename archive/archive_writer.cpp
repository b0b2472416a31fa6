#include "archive/archive.h"

#include <vector>

#include <zlib.h>

#include "core/new_file.h"
#include "core/text.h"

namespace {

// The slice an entry is copied or checked in: the memory a copy needs beyond the back ends'.
const std::size_t kSlice = 256 * 1024;

// Streams the open entry of reader through crc32; false (error set) when it fails.
bool crcOfOpenEntry(ArchiveReader& reader, std::uint32_t& crc, ArchiveError& error) {
    std::vector<unsigned char> slice(kSlice);
    crc = crc32(0, Z_NULL, 0);
    for (;;) {
        const std::int64_t got = reader.read(slice.data(), slice.size(), error);
        if (got < 0) return false;
        if (got == 0) return true;
        crc = crc32(crc, slice.data(), static_cast<uInt>(got));
    }
}

} // namespace

bool NewFileArchiveOutput::write(const unsigned char* bytes, std::size_t size, std::int64_t offset, std::string& reason) {
    return file_.write(bytes, size, offset, reason);
}

bool HandleOutput::write(const unsigned char* bytes, std::size_t size, std::int64_t offset, std::string& reason) {
    return fileOps().write(file_, bytes, size, offset, reason);
}

bool ArchiveWriter::fail(ArchiveError& error, ArchiveProblem problem, const std::string& reason,
                         const std::string& entry) const {
    error.problem = problem;
    error.archive = name_;
    error.entry = entry;
    error.reason = reason;
    return false;
}

// The copy that any two back ends can make: unpacked, packed again, and the CRC-32 of the
// bytes read compared with the one the old archive states (when it states one).
bool ArchiveWriter::copyEntry(ArchiveReader& from, std::size_t index, ArchiveError& error) {
    if (index >= from.entries().size()) return fail(error, ArchiveProblem::Damaged, "the old archive has no such entry");
    const ArchiveEntry& entry = from.entries()[index];
    if (!beginEntry(entry, error)) return false;
    if (!entry.folder) {
        if (!from.openEntry(index, error)) return false;
        std::vector<unsigned char> slice(kSlice);
        std::uint32_t crc = crc32(0, Z_NULL, 0);
        for (;;) {
            const std::int64_t got = from.read(slice.data(), slice.size(), error);
            if (got < 0) return false;
            if (got == 0) break;
            crc = crc32(crc, slice.data(), static_cast<uInt>(got));
            if (!write(slice.data(), static_cast<std::size_t>(got), error)) return false;
        }
        if (entry.crcKnown && crc != entry.crc)
            return fail(error, ArchiveProblem::CrcMismatch, "its copy has CRC-32 " + hex32(crc) + ", not the " +
                        hex32(entry.crc) + " of the old archive", entry.name);
    }
    return endEntry(error);
}

// Folders have no bytes and no CRC-32 to compare; the writer counts each as an empty entry.
bool checkArchiveCrcs(ArchiveReader& reader, const std::vector<std::uint32_t>& crcs, ArchiveError& error) {
    const std::vector<ArchiveEntry>& entries = reader.entries();
    if (entries.size() != crcs.size()) {
        error = {ArchiveProblem::Damaged, reader.path(), "",
                 "it holds " + std::to_string(entries.size()) + " entries, not the " + std::to_string(crcs.size()) +
                 " written"};
        return false;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].folder) continue;
        std::uint32_t crc = 0;
        if (!reader.openEntry(i, error) || !crcOfOpenEntry(reader, crc, error)) return false;
        if (crc != crcs[i]) {
            error = {ArchiveProblem::CrcMismatch, reader.path(), entries[i].name,
                     "it reads back with CRC-32 " + hex32(crc) + ", not the " + hex32(crcs[i]) + " written"};
            return false;
        }
    }
    return true;
}
