// The CRC-32, MD5 and SHA-1 of a whole image, computed side by side while it is being read.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/digest.h"

// The three digests catalogues list for a ROM.
struct ImageDigests {
    std::uint32_t crc32 = 0;
    unsigned char md5[16] = {};
    unsigned char sha1[20] = {};
};

// The bytes as upper-case hexadecimal, as catalogues write digests.
std::string hexUpper(const unsigned char* bytes, std::size_t n);

// Digests an image that is filled from its start while the digests run: the caller says how
// far it is filled with advance(), and MD5 and SHA-1 each work on a thread of their own
// behind it, while CRC-32 runs on the caller's thread in advance(). The image is only read,
// never copied. Where no thread can be started, everything runs in advance().
class ConcurrentDigests {
public:
    explicit ConcurrentDigests(const unsigned char* image);
    ~ConcurrentDigests(); // stops and waits for the threads when finish was not called
    ConcurrentDigests(const ConcurrentDigests&) = delete;
    ConcurrentDigests& operator=(const ConcurrentDigests&) = delete;

    // The first filled bytes of the image are final (filled never goes back).
    void advance(std::size_t filled);

    // Waits for the digests of the first filled bytes given so far and writes them to out.
    // Returns false with error set when a digest backend failed.
    bool finish(ImageDigests& out, std::string& error);

private:
    // One digest fed by its own thread.
    struct Lane {
        explicit Lane(DigestKind kind) : digest(kind) {}
        Digest digest;
        std::thread thread;
    };

    void startLanes();
    void feed(Lane& lane);   // a lane's thread: digests whatever is filled until closed
    void closeAndJoin();

    const unsigned char* image_;
    Lane md5_{DigestKind::Md5};
    Lane sha1_{DigestKind::Sha1};
    bool threaded_ = false;
    std::uint32_t crc_ = 0;
    std::size_t crcDone_ = 0;  // bytes the CRC has taken; the caller's thread only
    std::size_t inlineDone_ = 0; // bytes the digests have taken when there are no threads

    std::mutex mutex_;            // guards filled_ and closed_
    std::condition_variable moved_;
    std::size_t filled_ = 0;
    bool closed_ = false;
};
