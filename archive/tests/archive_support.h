// What the archive tests share: the back ends to run each table on, sample archives put in
// scratch files, whole entries read, new archives written, the system tools compared with.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "core/tests/test_files.h"

// The back ends this build has, each table's cases run on every one.
inline std::vector<ArchiveBackend> builtBackends() {
    std::vector<ArchiveBackend> backends = {ArchiveBackend::Zlib};
    if (archiveBackendAvailable(ArchiveBackend::Libarchive)) backends.push_back(ArchiveBackend::Libarchive);
    return backends;
}

inline const char* backendName(ArchiveBackend backend) {
    return backend == ArchiveBackend::Zlib ? "zlib" : "libarchive";
}

// A literal sample as bytes.
template <std::size_t N>
Bytes sample(const unsigned char (&bytes)[N]) {
    return Bytes(bytes, bytes + N);
}

// The offset of the count-th (from 0) occurrence of text in bytes; fails the test if none.
inline std::size_t offsetOf(const Bytes& bytes, const std::string& text, int count = 0) {
    for (std::size_t at = 0; at + text.size() <= bytes.size(); ++at)
        if (std::equal(text.begin(), text.end(), bytes.begin() + at) && count-- == 0) return at;
    ADD_FAILURE() << "no \"" << text << "\" in the sample";
    return 0;
}

// Little-endian numbers written into a sample, to make it lie.
inline void put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}
inline void put16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<unsigned char>(value);
    bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

// Reads the whole of entry index; false with error set when the reading fails.
inline bool readEntry(ArchiveReader& reader, std::size_t index, Bytes& bytes, ArchiveError& error) {
    bytes.clear();
    if (!reader.openEntry(index, error)) return false;
    unsigned char slice[4096];
    for (;;) {
        const std::int64_t got = reader.read(slice, sizeof slice, error);
        if (got < 0) return false;
        if (got == 0) return true;
        bytes.insert(bytes.end(), slice, slice + got);
    }
}

// An output gathering the bytes in memory.
class MemoryOutput : public ArchiveOutput {
public:
    bool write(const unsigned char* data, std::size_t size, std::int64_t offset, std::string&) override {
        if (bytes.size() < offset + size) bytes.resize(static_cast<std::size_t>(offset) + size);
        std::copy(data, data + size, bytes.begin() + offset);
        return true;
    }
    Bytes bytes;
};

// The facts of a new entry.
inline ArchiveEntry newEntry(const std::string& name, std::int64_t modified, std::int64_t size = -1) {
    ArchiveEntry entry;
    entry.name = name;
    entry.timeKnown = true;
    entry.modified = modified;
    entry.size = size;
    return entry;
}

// Writes a whole entry; the test fails on an error.
inline void addEntry(ArchiveWriter& writer, const ArchiveEntry& facts, const Bytes& bytes) {
    ArchiveError error;
    ASSERT_TRUE(writer.beginEntry(facts, error)) << archiveErrorText(error);
    ASSERT_TRUE(writer.write(bytes.data(), bytes.size(), error)) << archiveErrorText(error);
    ASSERT_TRUE(writer.endEntry(error)) << archiveErrorText(error);
}

// A zip of the named entries written by the zlib back end, as bytes.
inline Bytes zipOf(const std::vector<std::pair<std::string, Bytes>>& entries, bool zip64 = false) {
    MemoryOutput output;
    ArchiveError error;
    ArchiveWriteOptions options;
    options.zip64 = zip64;
    auto writer = createArchiveWriter(ArchiveFormat::Zip, output, "made.zip", error, ArchiveBackend::Zlib, options);
    EXPECT_TRUE(writer) << archiveErrorText(error);
    if (!writer) return Bytes();
    for (const auto& entry : entries) addEntry(*writer, newEntry(entry.first, 1614834368), entry.second);
    EXPECT_TRUE(writer->finish(error)) << archiveErrorText(error);
    return output.bytes;
}

// Makes the local time zone UTC, so that DOS times read as the samples' UTC times.
inline void useUtc() {
#ifdef _WIN32
    _putenv_s("TZ", "UTC0");
    _tzset();
#else
    setenv("TZ", "UTC0", 1);
    tzset();
#endif
}

// Whether a system tool runs here (never under Wine: the tests there have none).
inline bool haveTool(const std::string& name) {
#ifdef _WIN32
    (void)name;
    return false;
#else
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

// 2021-03-04 05:06:08 UTC, the time of the samples' files.
const std::int64_t kSampleTime = 1614834368;

// An archive of format holding the named entries, each of kSampleTime, written by back end
// (stored: no deflate).
inline Bytes archiveOf(ArchiveFormat format, ArchiveBackend backend, bool stored,
                const std::vector<std::pair<std::string, Bytes>>& entries) {
    MemoryOutput output;
    ArchiveError error;
    auto writer = createArchiveWriter(format, output, "made", error, backend);
    EXPECT_TRUE(writer) << archiveErrorText(error);
    if (!writer) return Bytes();
    for (const auto& entry : entries) {
        ArchiveEntry facts = newEntry(entry.first, kSampleTime, static_cast<std::int64_t>(entry.second.size()));
        facts.stored = stored;
        addEntry(*writer, facts, entry.second);
    }
    EXPECT_TRUE(writer->finish(error)) << archiveErrorText(error);
    return output.bytes;
}
