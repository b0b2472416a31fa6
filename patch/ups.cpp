// UPS: "UPS1", the source and target sizes, then hunks up to the last 12 bytes, which hold
// the source, target and patch CRC-32s. A hunk is a number of bytes to keep as they are,
// then bytes XORed into the following positions, ended by a zero byte that also takes one
// position. Source bytes beyond the source's end count as zero.
#include <cstring>

#include "patch/patch_reader.h"

namespace {

const std::size_t kMagicSize = 4; // "UPS1"
const std::size_t kTrailerSize = 12;

// The two sizes; the reader is left at the first hunk.
bool readSizes(PatchReader& reader, std::uint64_t& sourceSize, std::uint64_t& targetSize, PatchError& error) {
    const unsigned char* magic = nullptr;
    if (!reader.bytes(kMagicSize, magic) || !reader.byuuNumber(sourceSize) || !reader.byuuNumber(targetSize))
        return refuseTruncated(error, "its header");
    return true;
}

// Runs the hunks over target (null: only checks them). XOR bytes reach at most the larger of
// the two sizes: the same patch takes the target back to the source, so bytes past the
// target's end are allowed and dropped.
bool runHunks(PatchReader reader, std::size_t end, std::uint64_t limit, unsigned char* target,
              std::uint64_t targetSize, PatchError& error) {
    std::uint64_t position = 0;
    while (reader.position() < end) {
        std::uint64_t skip = 0;
        if (!reader.byuuNumber(skip) || reader.position() > end) return refuseTruncated(error, "a hunk");
        if (skip > limit - position)
            return refuse(error, PatchRefusal::Damaged, "a hunk lies beyond the end of the file (damaged)");
        position += skip;
        for (;;) {
            unsigned char x = 0;
            if (reader.position() >= end || !reader.byte(x)) return refuseTruncated(error, "a hunk");
            // The zero that ends a hunk reaching the end of the file lies just past it.
            if (position > limit || (position == limit && x != 0))
                return refuse(error, PatchRefusal::Damaged, "a hunk lies beyond the end of the file (damaged)");
            if (target && position < targetSize) target[position] ^= x;
            ++position;
            if (x == 0) break;
        }
    }
    return true;
}

bool inspectUps(const unsigned char* patch, std::size_t size, PatchFacts& facts, PatchError& error) {
    if (!readCrcTrailer(patch, size, facts, error)) return false;
    PatchReader reader(patch, size - kTrailerSize);
    std::uint64_t sourceSize = 0, targetSize = 0;
    if (!readSizes(reader, sourceSize, targetSize, error)) return false;
    if (targetSize > static_cast<std::uint64_t>(kMaxRomSize)) return refuseTooLarge(error, targetSize);
    if (sourceSize > static_cast<std::uint64_t>(kMaxRomSize))
        return refuse(error, PatchRefusal::OtherRom, "it is for a source of 2 GiB or more");
    facts.sourceSize = static_cast<std::int64_t>(sourceSize);
    const std::uint64_t limit = sourceSize > targetSize ? sourceSize : targetSize;
    return runHunks(reader, size - kTrailerSize, limit, nullptr, targetSize, error);
}

// The target starts as the source cut or zero-extended to the target's size.
bool applyUps(const unsigned char* source, std::size_t sourceSize, const unsigned char* patch, std::size_t size,
              RomImageBuffer& target, PatchError& error) {
    PatchFacts facts;
    if (!inspectUps(patch, size, facts, error)) return false;
    PatchReader reader(patch, size - kTrailerSize);
    std::uint64_t statedSource = 0, targetSize = 0;
    readSizes(reader, statedSource, targetSize, error);
    if (statedSource != sourceSize)
        return refuse(error, PatchRefusal::OtherRom, "it is for a source of " + std::to_string(statedSource) +
                                                         " bytes; this ROM has " + std::to_string(sourceSize));
    if (!allocateResult(target, targetSize, error)) return false;
    const std::size_t kept = sourceSize < targetSize ? sourceSize : static_cast<std::size_t>(targetSize);
    if (kept > 0) std::memcpy(target.bytes(), source, kept);
    std::memset(target.bytes() + kept, 0, target.size() - kept);
    const std::uint64_t limit = statedSource > targetSize ? statedSource : targetSize;
    if (!runHunks(reader, size - kTrailerSize, limit, target.bytes(), targetSize, error)) return false;
    return checkTargetCrc(target, facts.targetCrc, error);
}

} // namespace

const PatchFormatReader& upsFormat() {
    static const PatchFormatReader format = {PatchFormat::Ups, inspectUps, applyUps};
    return format;
}
