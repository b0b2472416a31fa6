#include "archive/archive.h"

#include <algorithm>
#include <set>

#include <zlib.h>

#include "core/shown_text.h"
#include "core/text.h"

namespace {

// How many first bytes of an entry are kept to tell a nested archive (every signature but
// tar's is within them).
const std::size_t kNestedBytes = 8;

// A count of bytes as the messages give it, e.g. "4,096".
std::string grouped(std::int64_t value) {
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
    return digits;
}

} // namespace

// Every name is checked once here, so that each back end lists the same problems.
void ArchiveReader::setEntries(std::vector<ArchiveEntry> entries) {
    std::set<std::string> seen;
    for (ArchiveEntry& entry : entries) {
        entry.nameProblem = checkEntryName(entry.name);
        entry.duplicate = !seen.insert(entry.name).second;
    }
    entries_ = std::move(entries);
}

void ArchiveReader::forgetStatedFacts(std::size_t index) {
    entries_[index].size = -1;
    entries_[index].crcKnown = false;
}

bool ArchiveReader::fail(ArchiveError& error, ArchiveProblem problem, const std::string& reason,
                         std::int64_t index) const {
    error.problem = problem;
    error.archive = path_;
    error.entry = index >= 0 && static_cast<std::size_t>(index) < entries_.size() ? entries_[index].name : "";
    error.reason = reason;
    return false;
}

// The stated size is checked against the limits before a byte is unpacked, so that a bomb
// that says what it is costs nothing.
bool ArchiveReader::openEntry(std::size_t index, ArchiveError& error) {
    open_ = -1;
    if (index >= entries_.size()) return fail(error, ArchiveProblem::Damaged, "the archive has no such entry");
    const ArchiveEntry& entry = entries_[index];
    if (entry.folder) return fail(error, ArchiveProblem::Unsupported, "it is a folder", index);
    if (entry.encrypted)
        return fail(error, ArchiveProblem::Encrypted, "it is encrypted; unpack it with its password first", index);
    if (entry.size > kMaxRomSize)
        return fail(error, ArchiveProblem::TooLarge, "it says it unpacks to " + grouped(entry.size) +
                    " bytes, more than 2 GiB", index);
    if (entry.size > kRatioFloor && entry.packedSize >= 0 && entry.size / kLargestRatio > entry.packedSize)
        return fail(error, ArchiveProblem::TooLarge, "it says it unpacks to more than 1000 times its packed size "
                    "(a zip bomb)", index);
    if (!startEntry(index, error)) return false;
    open_ = static_cast<std::int64_t>(index);
    produced_ = 0;
    crc_ = crc32(0, Z_NULL, 0);
    start_.clear();
    ended_ = false;
    return true;
}

std::int64_t ArchiveReader::read(unsigned char* buffer, std::size_t size, ArchiveError& error) {
    if (open_ < 0) return fail(error, ArchiveProblem::Damaged, "no entry is open"), -1;
    if (ended_ || size == 0) return 0;
    const std::int64_t got = readSome(buffer, size, error);
    if (got < 0) {
        open_ = -1;
        return -1;
    }
    if (got == 0) {
        ended_ = true;
        return checkEnd(error) ? 0 : -1;
    }
    produced_ += got;
    crc_ = crc32(crc_, buffer, static_cast<uInt>(got));
    if (start_.size() < kNestedBytes)
        start_.append(reinterpret_cast<const char*>(buffer),
                      std::min<std::size_t>(kNestedBytes - start_.size(), static_cast<std::size_t>(got)));
    if (!withinLimits(error)) {
        open_ = -1;
        return -1;
    }
    return got;
}

// Both limits hold whatever the archive states, since a bomb's directory may lie.
bool ArchiveReader::withinLimits(ArchiveError& error) {
    const ArchiveEntry& entry = entries_[open_];
    if (produced_ > kMaxRomSize)
        return fail(error, ArchiveProblem::TooLarge, "it unpacks to more than 2 GiB", open_);
    const std::int64_t packed = std::max<std::int64_t>(packedSoFar(), 1);
    if (produced_ > kRatioFloor && produced_ / kLargestRatio >= packed)
        return fail(error, ArchiveProblem::TooLarge, "it unpacks to more than 1000 times its packed size (a zip bomb)",
                    open_);
    if (entry.size >= 0 && produced_ > entry.size)
        return fail(error, ArchiveProblem::CrcMismatch, "it unpacks to more than the " + grouped(entry.size) +
                    " bytes the archive states", open_);
    return true;
}

bool ArchiveReader::checkEnd(ArchiveError& error) {
    const ArchiveEntry& entry = entries_[open_];
    if (entry.size >= 0 && produced_ != entry.size)
        return fail(error, ArchiveProblem::CrcMismatch, "it unpacks to " + grouped(produced_) + " bytes, not the " +
                    grouped(entry.size) + " the archive states", open_);
    if (entry.crcKnown && crc_ != entry.crc) {
        return fail(error, ArchiveProblem::CrcMismatch,
                    "its CRC-32 is " + hex32(crc_) + ", not the " + hex32(entry.crc) + " the archive states", open_);
    }
    return true;
}

ArchiveFormat ArchiveReader::nestedFormat() const {
    return recogniseArchive(reinterpret_cast<const unsigned char*>(start_.data()), start_.size());
}

// The archive's name first, as every message about a file starts.
std::string archiveErrorText(const ArchiveError& error) {
    std::string text = shownText(error.archive);
    if (!error.entry.empty()) text += ": " + shownText(error.entry, Backslash::Doubled);
    return text + ": " + error.reason;
}
