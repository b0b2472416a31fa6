// gzip through zlib: a gzip file read as an archive of one entry, and written as one.
#include <vector>

#include "archive/backend.h"
#include "archive/deflate_sink.h"
#include "archive/inflate_stream.h"

namespace {

class GzipReader : public ArchiveReader {
public:
    explicit GzipReader(const std::string& path) : ArchiveReader(ArchiveFormat::Gzip, path) {}

    // Opens the file and lists its entry from the header and trailer.
    bool open(FileHandle given, ArchiveError& error) {
        if (!file_.open(path(), given, error.reason)) {
            error.problem = ArchiveProblem::Unreadable;
            error.archive = path();
            return false;
        }
        ArchiveEntry entry;
        if (!listGzip(file_, path(), entry, error)) return false;
        setEntries({entry});
        return true;
    }

private:
    bool startEntry(std::size_t, ArchiveError& error) override {
        std::string reason;
        if (!stream_.start(file_, 0, file_.size(), true, reason)) return fail(error, ArchiveProblem::Unreadable, reason, 0);
        return true;
    }

    std::int64_t readSome(unsigned char* buffer, std::size_t size, ArchiveError& error) override {
        ArchiveProblem problem = ArchiveProblem::None;
        std::string reason;
        const std::int64_t got = stream_.read(buffer, size, problem, reason);
        if (got < 0) return fail(error, problem, reason, 0), -1;
        if (stream_.severalMembers()) forgetStatedFacts(0);
        return got;
    }

    std::int64_t packedSoFar() const override { return stream_.consumed(); }

    ArchiveFile file_;
    InflateStream stream_;
};

// The one entry's name goes in FNAME, its time in MTIME; the OS byte says "unknown".
class GzipWriter : public ArchiveWriter {
public:
    GzipWriter(ArchiveOutput& output, const std::string& name) : ArchiveWriter(name), sink_(output, kDefaultDeflateLevel) {}

    bool beginEntry(const ArchiveEntry& facts, ArchiveError& error) override {
        if (begun_) return fail(error, ArchiveProblem::Unsupported, "a gzip file holds one file only", facts.name);
        if (facts.folder) return fail(error, ArchiveProblem::Unsupported, "a gzip file holds no folder", facts.name);
        begun_ = true;
        entry_ = facts.name;
        std::string header("\x1F\x8B\x08", 3);
        header.push_back(facts.name.empty() ? 0 : 0x08);
        putLittle32(header, facts.timeKnown && facts.modified > 0 ? static_cast<std::uint32_t>(facts.modified) : 0);
        header.push_back(0);
        header.push_back(static_cast<char>(255));
        if (!facts.name.empty()) header.append(facts.name.c_str(), facts.name.size() + 1);
        std::string reason;
        if (!sink_.begin(header, false, reason)) return fail(error, ArchiveProblem::NotWritten, reason, entry_);
        return true;
    }

    bool write(const unsigned char* bytes, std::size_t size, ArchiveError& error) override {
        std::string reason;
        if (!sink_.write(bytes, size, reason)) return fail(error, ArchiveProblem::NotWritten, reason, entry_);
        return true;
    }

    bool endEntry(ArchiveError& error) override {
        std::string reason;
        if (!sink_.end(reason)) return fail(error, ArchiveProblem::NotWritten, reason, entry_);
        std::string trailer;
        putLittle32(trailer, sink_.crc());
        putLittle32(trailer, static_cast<std::uint32_t>(sink_.size()));
        if (!sink_.raw(trailer, reason)) return fail(error, ArchiveProblem::NotWritten, reason, entry_);
        crcs_.push_back(sink_.crc());
        return true;
    }

    bool finish(ArchiveError& error) override {
        if (!begun_) return fail(error, ArchiveProblem::Unsupported, "a gzip file must hold one file");
        return true;
    }

private:
    DeflateSink sink_;
    bool begun_ = false;
    std::string entry_;
};

} // namespace

std::unique_ptr<ArchiveReader> openGzipWithZlib(const std::string& path, FileHandle given, ArchiveError& error) {
    auto reader = std::make_unique<GzipReader>(path);
    if (!reader->open(given, error)) return nullptr;
    return reader;
}

std::unique_ptr<ArchiveWriter> createGzipWithZlib(ArchiveOutput& output, const std::string& name) {
    return std::make_unique<GzipWriter>(output, name);
}
