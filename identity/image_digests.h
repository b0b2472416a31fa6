// The CRC-32, MD5 and SHA-1 of a whole image, computed side by side while it is being read,
// and the digests of one image in each byte order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/byte_order.h"
#include "identity/digest.h"

// The three digests catalogues list for a ROM.
struct ImageDigests {
    std::uint32_t crc32 = 0;
    unsigned char md5[16] = {};
    unsigned char sha1[20] = {};
};

// Which of the three digests are wanted, or were computed.
struct DigestSet {
    bool crc32 = false;
    bool md5 = false;
    bool sha1 = false;

    bool any() const { return crc32 || md5 || sha1; }
    static DigestSet all() { return {true, true, true}; }
    DigestSet& operator|=(const DigestSet& other);
};

// Tables by byte order have a slot per order: the big-endian image first, which is also the
// slot of a file of unknown order, taken as it is.
constexpr std::size_t kOrderSlots = 3;
std::size_t orderSlot(ByteOrder order);
ByteOrder slotOrder(std::size_t slot);

// The digests of one image brought to each byte order, as far as they were asked for.
struct OrderedDigests {
    DigestSet computed[kOrderSlots];
    ImageDigests values[kOrderSlots];

    const ImageDigests& bigEndian() const { return values[0]; }
};

// The bytes as upper-case hexadecimal, as catalogues write digests.
std::string hexUpper(const unsigned char* bytes, std::size_t n);

// The wanted digests of bytes fed in pieces, all on the caller's thread.
class DigestRun {
public:
    explicit DigestRun(DigestSet wanted);

    void update(const unsigned char* data, std::size_t n);

    // Writes the wanted digests to out; false with error set when a backend failed.
    bool finish(ImageDigests& out, std::string& error);

private:
    DigestSet wanted_;
    Digest md5_{DigestKind::Md5};
    Digest sha1_{DigestKind::Sha1};
    std::uint32_t crc_ = 0;
};

// Digests an image that is filled from its start while the digests run: the caller says how
// far it is filled with advance(). The slowest wanted digest (MD5, else SHA-1, else CRC-32)
// works on a thread of its own behind it; the others run on the caller's thread in
// advance(), on bytes it has just read. Two threads for two processors: a third would only
// take turns with MD5. The image is only read, never copied. Where no thread can be
// started, every digest runs in advance().
class ConcurrentDigests {
public:
    ConcurrentDigests(const unsigned char* image, DigestSet wanted);
    ~ConcurrentDigests(); // stops and waits for the thread when finish was not called
    ConcurrentDigests(const ConcurrentDigests&) = delete;
    ConcurrentDigests& operator=(const ConcurrentDigests&) = delete;

    // The first filled bytes of the image are final (filled never goes back).
    void advance(std::size_t filled);

    // Waits for the digests of the first filled bytes given so far and writes them to out.
    // Returns false with error set when a digest backend failed.
    bool finish(ImageDigests& out, std::string& error);

private:
    void feedThread(); // the thread: digests whatever is filled until closed
    void closeAndJoin();

    const unsigned char* image_;
    DigestRun threaded_; // the slowest wanted digest
    DigestRun inline_;   // the others
    std::thread thread_;
    std::size_t done_ = 0; // bytes the caller's thread has taken

    std::mutex mutex_; // guards filled_ and closed_
    std::condition_variable moved_;
    std::size_t filled_ = 0;
    bool closed_ = false;
};
