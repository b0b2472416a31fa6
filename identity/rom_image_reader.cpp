#include "identity/rom_image_reader.h"

#include <cerrno>
#include <cstring>

#include "core/file_ops.h"
#include "core/file_system.h"

namespace {

// The piece read at a time: small enough that the digests start on the first bytes at once,
// large enough that the system calls cost nothing next to them.
const std::size_t kPiece = std::size_t(1) << 20;

// The first room made for a stream of unknown size; it doubles as the stream goes on.
const std::size_t kFirstRoom = std::size_t(8) << 20;

const char* const kTooLarge = "the file is 2 GiB or larger";

// Reads the rest of a stream, which must be left bytes long, for its end to be checked.
bool endsThere(ByteSource& source, std::int64_t left, std::string& reason) {
    unsigned char spill[64 * 1024];
    for (;;) {
        const std::int64_t got = source.read(spill, sizeof spill, reason);
        if (got <= 0) return got == 0 && (left == 0 || (reason = "it ends before the size it states", false));
        if ((left -= got) < 0) return reason = "it goes on past the size it states", false;
    }
}

// Fills image from the stream in pieces, reporting each whole number of 4-byte groups read,
// then makes sure the stream ends there.
bool readPieces(ByteSource& source, RomImageBuffer& image, bool toTheEnd, const ReadProgress& progress,
                std::string& reason) {
    std::size_t filled = 0, reported = 0;
    while (filled < image.size()) {
        const std::size_t want = image.size() - filled < kPiece ? image.size() - filled : kPiece;
        const std::int64_t got = source.read(image.bytes() + filled, want, reason);
        if (got < 0) return false;
        if (got == 0) return reason = "it ends before the size it states", false;
        filled += static_cast<std::size_t>(got);
        const std::size_t whole = filled == image.size() ? filled : filled & ~std::size_t(3);
        if (whole > reported && progress) progress(reported = whole);
    }
    return !toTheEnd || endsThere(source, 0, reason);
}

// Reads a stream of unknown size whole, keeping its first limit bytes in image (which grows
// as they come) and counting the rest.
bool readUnsized(ByteSource& source, std::size_t limit, RomImageBuffer& image, std::int64_t& total,
                 std::string& reason) {
    std::size_t filled = 0;
    unsigned char spill[64 * 1024];
    for (;;) {
        if (filled == image.size() && filled < limit) {
            const std::size_t room = image.size() == 0 ? kFirstRoom : image.size() * 2;
            if (!image.grow(room < limit ? room : limit, filled)) return reason = systemReason(ENOMEM), false;
        }
        const bool keep = filled < image.size();
        const std::int64_t got = keep ? source.read(image.bytes() + filled, image.size() - filled, reason)
                                      : source.read(spill, sizeof spill, reason);
        if (got <= 0) {
            if (got == 0) image.keepFirst(filled);
            return got == 0;
        }
        if (keep) filled += static_cast<std::size_t>(got);
        total += got;
        if (total > kMaxRomSize) return reason = kTooLarge, false;
    }
}

} // namespace

RomImageBuffer::~RomImageBuffer() {
    if (bytes_) fileOps().release(bytes_);
}

void RomImageBuffer::release() {
    if (bytes_) fileOps().release(bytes_);
    bytes_ = nullptr;
    size_ = 0;
}

bool RomImageBuffer::allocate(std::size_t size) {
    if (bytes_) fileOps().release(bytes_);
    size_ = 0;
    bytes_ = fileOps().allocate(size);
    if (!bytes_) return false;
    size_ = size;
    return true;
}

bool RomImageBuffer::grow(std::size_t size, std::size_t kept) {
    unsigned char* bytes = fileOps().allocate(size);
    if (!bytes) return false;
    if (kept > 0) std::memcpy(bytes, bytes_, kept);
    if (bytes_) fileOps().release(bytes_);
    bytes_ = bytes;
    size_ = size;
    return true;
}

bool readRomImage(ByteSource& source, std::size_t limit, RomImageBuffer& image, std::int64_t& fileSize,
                  const ReadProgress& progress, std::string& reason) {
    fileSize = 0;
    image.release();
    const std::int64_t size = source.size();
    if (size > kMaxRomSize) return reason = kTooLarge, false;
    if (size < 0) {
        if (!readUnsized(source, limit, image, fileSize, reason)) return false;
        if (progress && image.size() > 0) progress(image.size());
        return true;
    }
    fileSize = size;
    const std::size_t wanted = static_cast<std::size_t>(size) < limit ? static_cast<std::size_t>(size) : limit;
    if (!image.allocate(wanted)) return reason = systemReason(ENOMEM), false;
    const bool whole = wanted == static_cast<std::size_t>(size);
    if (!readPieces(source, image, whole, progress, reason)) return false;
    return whole || !source.provedAtTheEnd() || endsThere(source, size - static_cast<std::int64_t>(wanted), reason);
}

FileByteSource::~FileByteSource() {
    std::string ignored; // only read: nothing can be lost when the close fails
    if (file_ != kNoFile) fileOps().close(file_, ignored);
}

// Opened as every file of the core is: a regular file only, never waited on.
bool FileByteSource::open(const std::string& path, std::string& reason) {
    FileOps& ops = fileOps();
    file_ = ops.open(path, OpenMode::Read, reason);
    if (file_ == kNoFile) return false;
    size_ = ops.size(file_, reason);
    return size_ >= 0;
}

// Reads no further than the size found at the opening: a file that shrinks since fails
// the read, one that grows ends there.
std::int64_t FileByteSource::read(unsigned char* buffer, std::size_t size, std::string& reason) {
    const std::int64_t left = size_ - offset_;
    const std::size_t count = static_cast<std::int64_t>(size) < left ? size : static_cast<std::size_t>(left);
    if (count == 0) return 0;
    if (!fileOps().read(file_, buffer, count, offset_, reason)) return -1;
    offset_ += static_cast<std::int64_t>(count);
    return static_cast<std::int64_t>(count);
}

bool readRomImage(const std::string& path, std::size_t limit, RomImageBuffer& image, std::int64_t& fileSize,
                  const ReadProgress& progress, std::string& reason) {
    FileByteSource file;
    fileSize = 0;
    if (!file.open(path, reason)) return false;
    return readRomImage(file, limit, image, fileSize, progress, reason);
}
