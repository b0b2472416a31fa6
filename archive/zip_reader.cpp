#include "archive/zip_reader.h"

namespace {

// The method names of APPNOTE 4.4.5 that collections meet, for the refusal of each.
std::string methodName(std::uint16_t method) {
    switch (method) {
    case 9: return "deflate64";
    case 12: return "bzip2";
    case 14: return "LZMA";
    case 93: return "Zstandard";
    case 95: return "xz";
    case 98: return "PPMd";
    case 99: return "AES encryption";
    default: return "method " + std::to_string(method);
    }
}

} // namespace

bool ZipReader::open(FileHandle given, ArchiveError& error) {
    if (!file_.open(path(), given, error.reason)) {
        error.problem = ArchiveProblem::Unreadable;
        error.archive = path();
        return false;
    }
    if (!readZipDirectory(file_, path(), records_, error)) return false;
    std::vector<ArchiveEntry> entries;
    for (const ZipRecord& record : records_) entries.push_back(record.entry);
    setEntries(std::move(entries));
    return true;
}

bool ZipReader::locate(std::size_t index, ZipData& data, ArchiveError& error) {
    std::string reason;
    if (!readLocalHeader(file_, records_[index], data, reason)) return fail(error, ArchiveProblem::Damaged, reason, index);
    return true;
}

bool ZipReader::readRaw(unsigned char* bytes, std::size_t size, std::int64_t offset, ArchiveError& error) {
    std::string reason;
    if (!file_.read(bytes, size, offset, reason)) return fail(error, ArchiveProblem::Unreadable, reason, index_);
    return true;
}

bool ZipReader::startEntry(std::size_t index, ArchiveError& error) {
    const ZipRecord& record = records_[index];
    if (record.method != 0 && record.method != 8)
        return fail(error, ArchiveProblem::Unsupported, "it is packed with " + methodName(record.method) +
                    ", which this build does not read (only store and deflate)", index);
    ZipData data;
    if (!locate(index, data, error)) return false;
    index_ = index;
    stored_ = record.method == 0;
    next_ = data.start;
    left_ = record.entry.packedSize;
    if (stored_) {
        if (record.entry.packedSize != record.entry.size)
            return fail(error, ArchiveProblem::Damaged, "it is stored, yet its packed and unpacked sizes differ", index);
        return true;
    }
    std::string reason;
    if (!inflater_.start(file_, data.start, record.entry.packedSize, false, reason))
        return fail(error, ArchiveProblem::Unreadable, reason, index);
    return true;
}

std::int64_t ZipReader::readSome(unsigned char* buffer, std::size_t size, ArchiveError& error) {
    if (!stored_) {
        ArchiveProblem problem = ArchiveProblem::None;
        std::string reason;
        const std::int64_t got = inflater_.read(buffer, size, problem, reason);
        if (got < 0) return fail(error, problem, reason, index_), -1;
        return got;
    }
    const std::size_t count = static_cast<std::size_t>(std::min<std::int64_t>(left_, static_cast<std::int64_t>(size)));
    if (!readRaw(buffer, count, next_, error)) return -1;
    next_ += count;
    left_ -= count;
    return static_cast<std::int64_t>(count);
}

std::int64_t ZipReader::packedSoFar() const {
    return stored_ ? records_[index_].entry.packedSize - left_ : inflater_.consumed();
}

std::unique_ptr<ArchiveReader> openZipWithZlib(const std::string& path, FileHandle given, ArchiveError& error) {
    auto reader = std::make_unique<ZipReader>(path);
    if (!reader->open(given, error)) return nullptr;
    return reader;
}
