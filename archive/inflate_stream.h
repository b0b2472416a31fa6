// Raw deflate (zip) or gzip members (windowBits 31) inflated from a range of an archive
// file, one slice of the file in memory at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "archive/archive.h"
#include "archive/backend.h"

class InflateStream {
public:
    InflateStream() = default;
    ~InflateStream();
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    // Starts on length bytes of file from offset; gzip takes members one after another.
    bool start(ArchiveFile& file, std::int64_t offset, std::int64_t length, bool gzip, std::string& reason);
    // Up to size bytes of output, 0 at the end of the data; -1 with problem and reason set.
    std::int64_t read(unsigned char* out, std::size_t size, ArchiveProblem& problem, std::string& reason);
    // Input bytes taken from the file until now.
    std::int64_t consumed() const { return consumed_; }
    // Whether a gzip stream held more than one member (the trailer then states the last only).
    bool severalMembers() const { return members_ > 1; }

private:
    // Refills the input slice from the file; false with reason on a read error.
    bool refill(std::string& reason);
    // After a gzip member's end: whether another member follows (then inflate is reset).
    bool nextMember();

    z_stream stream_{};
    bool started_ = false;
    bool gzip_ = false;
    bool ended_ = false;
    int members_ = 1;
    ArchiveFile* file_ = nullptr;
    std::int64_t next_ = 0, end_ = 0, consumed_ = 0;
    std::vector<unsigned char> slice_;
};
