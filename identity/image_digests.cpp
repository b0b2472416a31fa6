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

DigestSet& DigestSet::operator|=(const DigestSet& other) {
    crc32 = crc32 || other.crc32;
    md5 = md5 || other.md5;
    sha1 = sha1 || other.sha1;
    return *this;
}

std::size_t orderSlot(ByteOrder order) {
    switch (order) {
    case ByteOrder::LittleEndian: return 1;
    case ByteOrder::DoctorV64: return 2;
    case ByteOrder::BigEndian:
    case ByteOrder::None: break;
    }
    return 0;
}

ByteOrder slotOrder(std::size_t slot) {
    return slot == 1 ? ByteOrder::LittleEndian : slot == 2 ? ByteOrder::DoctorV64 : ByteOrder::BigEndian;
}

DigestRun::DigestRun(DigestSet wanted) : wanted_(wanted) {}

void DigestRun::update(const unsigned char* data, std::size_t n) {
    if (wanted_.md5) md5_.update(data, n);
    if (wanted_.sha1) sha1_.update(data, n);
    if (wanted_.crc32) crc_ = crc32Update(crc_, data, n);
}

bool DigestRun::finish(ImageDigests& out, std::string& error) {
    if (wanted_.crc32) out.crc32 = crc_;
    if (wanted_.md5 && !md5_.finish(out.md5)) {
        error = md5_.error();
        return false;
    }
    if (wanted_.sha1 && !sha1_.finish(out.sha1)) {
        error = sha1_.error();
        return false;
    }
    return true;
}

namespace {

// The slowest of the wanted digests, which gets the thread.
DigestSet slowest(DigestSet wanted) {
    if (wanted.md5) return {false, true, false};
    if (wanted.sha1) return {false, false, true};
    return {wanted.crc32, false, false};
}

// The wanted digests but the slowest.
DigestSet others(DigestSet wanted) {
    const DigestSet first = slowest(wanted);
    return {wanted.crc32 && !first.crc32, wanted.md5 && !first.md5, wanted.sha1 && !first.sha1};
}

} // namespace

// A system that cannot start a thread still gets its digests, one after another.
ConcurrentDigests::ConcurrentDigests(const unsigned char* image, DigestSet wanted)
    : image_(image), threaded_(slowest(wanted)), inline_(others(wanted)) {
    if (!wanted.any()) return;
    try {
        thread_ = std::thread(&ConcurrentDigests::feedThread, this);
    } catch (const std::system_error&) {
    }
}

ConcurrentDigests::~ConcurrentDigests() {
    closeAndJoin();
}

// Waits for more bytes, digests all that are there without holding the lock, and ends once
// the image is closed and everything filled has been taken.
void ConcurrentDigests::feedThread() {
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
            threaded_.update(image_ + done, filled - done);
            done = filled;
        } else if (closed) {
            return;
        }
    }
}

void ConcurrentDigests::advance(std::size_t filled) {
    if (filled <= done_) return;
    if (thread_.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            filled_ = filled;
        }
        moved_.notify_one();
    } else {
        threaded_.update(image_ + done_, filled - done_);
    }
    inline_.update(image_ + done_, filled - done_);
    done_ = filled;
}

void ConcurrentDigests::closeAndJoin() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    moved_.notify_one();
    if (thread_.joinable()) thread_.join();
}

bool ConcurrentDigests::finish(ImageDigests& out, std::string& error) {
    closeAndJoin();
    return threaded_.finish(out, error) && inline_.finish(out, error);
}
