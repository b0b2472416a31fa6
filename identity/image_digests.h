// The CRC-32, MD5 and SHA-1 of a whole image, computed side by side while it is being read.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "identity/digest.h"

// The three digests catalogues list for a ROM.
struct ImageDigests {
    std::uint32_t crc32 = 0;
    unsigned char md5[16] = {};
    unsigned char sha1[20] = {};
};

// The bytes as upper-case hexadecimal, as catalogues write digests.
std::string hexUpper(const unsigned char* bytes, std::size_t n);

// Digests an image that is filled from its start while the digests run: the caller says how
// far it is filled with advance(). MD5, the slowest of the three, works on a thread of its
// own behind it; SHA-1 and CRC-32 run on the caller's thread in advance(), on bytes it has
// just read. Two threads for two processors: a third would only take turns with MD5. The
// image is only read, never copied. Where no thread can be started, MD5 runs in advance() too.
class ConcurrentDigests {
public:
    explicit ConcurrentDigests(const unsigned char* image);
    ~ConcurrentDigests(); // stops and waits for the thread when finish was not called
    ConcurrentDigests(const ConcurrentDigests&) = delete;
    ConcurrentDigests& operator=(const ConcurrentDigests&) = delete;

    // The first filled bytes of the image are final (filled never goes back).
    void advance(std::size_t filled);

    // Waits for the digests of the first filled bytes given so far and writes them to out.
    // Returns false with error set when a digest backend failed.
    bool finish(ImageDigests& out, std::string& error);

private:
    void feedMd5(); // the MD5 thread: digests whatever is filled until closed
    void closeAndJoin();

    const unsigned char* image_;
    Digest md5_{DigestKind::Md5};
    Digest sha1_{DigestKind::Sha1};
    std::thread md5Thread_;
    std::uint32_t crc_ = 0;
    std::size_t done_ = 0; // bytes SHA-1 and CRC-32 (and MD5 without a thread) have taken

    std::mutex mutex_; // guards filled_ and closed_
    std::condition_variable moved_;
    std::size_t filled_ = 0;
    bool closed_ = false;
};
