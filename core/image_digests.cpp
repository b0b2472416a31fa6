#include "core/image_digests.h"

#include <system_error>

std::string hexUpper(const unsigned char* bytes, std::size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

// MD5 is the slowest of the three by far, so it gets a thread to itself; SHA-1 gets the
// other, and CRC-32 (the fastest) goes with the reading on the caller's thread.
ConcurrentDigests::ConcurrentDigests(const unsigned char* image) : image_(image) {
    startLanes();
}

ConcurrentDigests::~ConcurrentDigests() {
    closeAndJoin();
}

// A system that cannot start a thread still gets its digests, one after another.
void ConcurrentDigests::startLanes() {
    try {
        md5_.thread = std::thread(&ConcurrentDigests::feed, this, std::ref(md5_));
        sha1_.thread = std::thread(&ConcurrentDigests::feed, this, std::ref(sha1_));
        threaded_ = true;
    } catch (const std::system_error&) {
        closeAndJoin();
        threaded_ = false;
    }
}

// Waits for more bytes, digests all that are there without holding the lock, and ends once
// the image is closed and everything filled has been taken.
void ConcurrentDigests::feed(Lane& lane) {
    std::size_t done = 0;
    for (;;) {
        std::size_t filled;
        bool closed;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            moved_.wait(lock, [&] { return filled_ > done || closed_; });
            filled = filled_;
            closed = closed_;
        }
        if (filled > done) {
            lane.digest.update(image_ + done, filled - done);
            done = filled;
        } else if (closed) {
            return;
        }
    }
}

void ConcurrentDigests::advance(std::size_t filled) {
    if (filled <= crcDone_) return;
    if (threaded_) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            filled_ = filled;
        }
        moved_.notify_all();
    } else {
        md5_.digest.update(image_ + inlineDone_, filled - inlineDone_);
        sha1_.digest.update(image_ + inlineDone_, filled - inlineDone_);
        inlineDone_ = filled;
    }
    crc_ = crc32Update(crc_, image_ + crcDone_, filled - crcDone_);
    crcDone_ = filled;
}

void ConcurrentDigests::closeAndJoin() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    moved_.notify_all();
    if (md5_.thread.joinable()) md5_.thread.join();
    if (sha1_.thread.joinable()) sha1_.thread.join();
}

bool ConcurrentDigests::finish(ImageDigests& out, std::string& error) {
    closeAndJoin();
    out.crc32 = crc_;
    if (!md5_.digest.finish(out.md5)) {
        error = md5_.digest.error();
        return false;
    }
    if (!sha1_.digest.finish(out.sha1)) {
        error = sha1_.digest.error();
        return false;
    }
    return true;
}
