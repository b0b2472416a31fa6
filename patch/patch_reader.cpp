#include "patch/patch_reader.h"

#include <zlib.h>

#include <thread>

#include "identity/digest.h"

namespace {

// Below this size a second thread for a CRC-32 costs more than it saves.
const std::size_t kTwoThreadsFrom = std::size_t(4) << 20;

// Numbers above this are refused: no size or offset of a ROM comes near, and the sums made
// of them cannot overflow 64 bits.
const std::uint64_t kLargestNumber = std::uint64_t(1) << 56;

// The four bytes at p as a little-endian number.
std::uint32_t littleEndian32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

} // namespace

const char* const kChecksumsFailText = "its window checksums do not hold for this ROM";

bool PatchReader::byte(unsigned char& value) {
    if (position_ >= size_) return false;
    value = bytes_[position_++];
    return true;
}

bool PatchReader::bytes(std::size_t count, const unsigned char*& start) {
    if (count > left()) return false;
    start = bytes_ + position_;
    position_ += count;
    return true;
}

bool PatchReader::bigEndian(std::size_t count, std::uint32_t& value) {
    const unsigned char* start = nullptr;
    if (!bytes(count, start)) return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) value = value << 8 | start[i];
    return true;
}

// The reader moves only when the whole number was read.
bool PatchReader::byuuNumber(std::uint64_t& value) {
    std::uint64_t data = 0;
    std::uint64_t shift = 1;
    for (std::size_t at = position_; at < size_; ++at) {
        const unsigned char x = bytes_[at];
        data += (x & 0x7F) * shift;
        if (x & 0x80) {
            if (data > kLargestNumber) return false;
            position_ = at + 1;
            value = data;
            return true;
        }
        shift <<= 7;
        data += shift;
        if (shift > kLargestNumber) return false;
    }
    return false;
}

bool PatchReader::vcdiffInteger(std::uint64_t& value) {
    std::uint64_t data = 0;
    for (std::size_t at = position_; at < size_; ++at) {
        data = data << 7 | (bytes_[at] & 0x7F);
        if (data > kLargestNumber) return false;
        if (!(bytes_[at] & 0x80)) {
            position_ = at + 1;
            value = data;
            return true;
        }
    }
    return false;
}

bool refuse(PatchError& error, PatchRefusal refusal, const std::string& reason) {
    error.refusal = refusal;
    error.reason = reason;
    return false;
}

bool refuseTruncated(PatchError& error, const char* what) {
    return refuse(error, PatchRefusal::Damaged, std::string("it ends in the middle of ") + what +
                                                    " (truncated or damaged)");
}

bool refuseTooLarge(PatchError& error, std::uint64_t size) {
    return refuse(error, PatchRefusal::TooLarge,
                  "its result would be " + std::to_string(size) + " bytes (2 GiB or larger)");
}

bool allocateResult(RomImageBuffer& target, std::uint64_t size, PatchError& error) {
    if (size > static_cast<std::uint64_t>(kMaxRomSize)) return refuseTooLarge(error, size);
    if (!target.allocate(static_cast<std::size_t>(size)))
        return refuse(error, PatchRefusal::NoMemory,
                      "no memory for its result of " + std::to_string(size) + " bytes");
    return true;
}

bool readCrcTrailer(const unsigned char* patch, std::size_t size, PatchFacts& facts, PatchError& error) {
    if (size < 12) return refuseTruncated(error, "its header");
    const unsigned char* trailer = patch + size - 12;
    const std::uint32_t patchCrc = littleEndian32(trailer + 8);
    const std::uint32_t computed = imageCrc32(patch, size - 4);
    if (computed != patchCrc)
        return refuse(error, PatchRefusal::Damaged,
                      "its own CRC-32 does not hold (truncated or damaged; get the patch again)");
    facts.hasSourceCrc = true;
    facts.sourceCrc = littleEndian32(trailer);
    facts.targetCrc = littleEndian32(trailer + 4);
    return true;
}

std::uint32_t imageCrc32(const unsigned char* bytes, std::size_t size) {
    if (size < kTwoThreadsFrom) return crc32Update(0, bytes, size);
    const std::size_t half = size / 2;
    std::uint32_t second = 0;
    std::thread other([&] { second = crc32Update(0, bytes + half, size - half); });
    const std::uint32_t first = crc32Update(0, bytes, half);
    other.join();
    return static_cast<std::uint32_t>(crc32_combine(first, second, static_cast<z_off_t>(size - half)));
}

bool checkTargetCrc(const RomImageBuffer& target, std::uint32_t expected, PatchError& error) {
    if (imageCrc32(target.bytes(), target.size()) == expected) return true;
    return refuse(error, PatchRefusal::Damaged, "its result does not have the CRC-32 the patch states (damaged)");
}
