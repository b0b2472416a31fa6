#include "identity/image_digests.h"

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

// A system that cannot start a thread still gets its digests, one after another.
ConcurrentDigests::ConcurrentDigests(const unsigned char* image) : image_(image) {
    try {
        md5Thread_ = std::thread(&ConcurrentDigests::feedMd5, this);
    } catch (const std::system_error&) {
    }
}

ConcurrentDigests::~ConcurrentDigests() {
    closeAndJoin();
}

// Waits for more bytes, digests all that are there without holding the lock, and ends once
// the image is closed and everything filled has been taken.
void ConcurrentDigests::feedMd5() {
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
            md5_.update(image_ + done, filled - done);
            done = filled;
        } else if (closed) {
            return;
        }
    }
}

void ConcurrentDigests::advance(std::size_t filled) {
    if (filled <= done_) return;
    if (md5Thread_.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            filled_ = filled;
        }
        moved_.notify_one();
    } else {
        md5_.update(image_ + done_, filled - done_);
    }
    sha1_.update(image_ + done_, filled - done_);
    crc_ = crc32Update(crc_, image_ + done_, filled - done_);
    done_ = filled;
}

void ConcurrentDigests::closeAndJoin() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    moved_.notify_one();
    if (md5Thread_.joinable()) md5Thread_.join();
}

bool ConcurrentDigests::finish(ImageDigests& out, std::string& error) {
    closeAndJoin();
    out.crc32 = crc_;
    if (!md5_.finish(out.md5)) {
        error = md5_.error();
        return false;
    }
    if (!sha1_.finish(out.sha1)) {
        error = sha1_.error();
        return false;
    }
    return true;
}
