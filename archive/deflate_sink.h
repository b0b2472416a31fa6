// An archive's output written front to back: raw records, and entries' bytes packed with
// raw deflate (or stored) on the way, their CRC-32 and sizes counted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "archive/archive.h"

// Level 6, zlib's and zip's default: nearly the smallest files at a third of level 9's time.
constexpr int kDefaultDeflateLevel = 6;

class DeflateSink {
public:
    // level: zlib's, 1 to 9.
    DeflateSink(ArchiveOutput& output, int level) : output_(output), level_(level) {}
    ~DeflateSink();
    DeflateSink(const DeflateSink&) = delete;
    DeflateSink& operator=(const DeflateSink&) = delete;

    // Writes header, then starts an entry's data: deflated, or stored as it comes.
    bool begin(const std::string& header, bool stored, std::string& reason);
    // Takes size bytes of the entry.
    bool write(const unsigned char* bytes, std::size_t size, std::string& reason);
    // Ends the entry's data.
    bool end(std::string& reason);
    // Writes bytes as they are at the current end, or over earlier ones at offset.
    bool raw(const std::string& bytes, std::string& reason);
    bool rawAt(const std::string& bytes, std::int64_t offset, std::string& reason);
    bool raw(const unsigned char* bytes, std::size_t size, std::string& reason);

    std::int64_t offset() const { return offset_; }
    std::uint32_t crc() const { return crc_; }
    std::int64_t size() const { return size_; }      // the entry's bytes taken
    std::int64_t packed() const { return packed_; }  // the entry's bytes written

private:
    // Deflates what is in the stream with flush, writing every full output slice.
    bool pump(int flush, std::string& reason);

    ArchiveOutput& output_;
    int level_;
    z_stream stream_{};
    bool deflating_ = false;
    std::int64_t offset_ = 0;
    std::uint32_t crc_ = 0;
    std::int64_t size_ = 0, packed_ = 0;
    std::vector<unsigned char> slice_;
};
