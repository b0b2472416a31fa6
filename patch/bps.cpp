// BPS: "BPS1", the source, target and metadata sizes, the metadata, then actions up to the
// last 12 bytes, which hold the source, target and patch CRC-32s. An action is one number,
// ((length - 1) << 2) | command, followed by what its command needs.
#include <cstring>

#include "patch/patch_reader.h"

namespace {

const std::size_t kMagicSize = 4;  // "BPS1"
const std::size_t kTrailerSize = 12;

enum Command { SourceRead = 0, TargetRead = 1, SourceCopy = 2, TargetCopy = 3 };

// The header: the sizes, and the reader placed at the first action.
struct BpsHeader {
    std::uint64_t sourceSize = 0;
    std::uint64_t targetSize = 0;
};

// Reads the sizes and steps over the metadata, which nothing here needs.
bool readHeader(PatchReader& reader, BpsHeader& header, PatchError& error) {
    const unsigned char* skipped = nullptr;
    std::uint64_t metadataSize = 0;
    if (!reader.bytes(kMagicSize, skipped) || !reader.byuuNumber(header.sourceSize) ||
        !reader.byuuNumber(header.targetSize) || !reader.byuuNumber(metadataSize))
        return refuseTruncated(error, "its header");
    if (metadataSize > reader.left() || !reader.bytes(static_cast<std::size_t>(metadataSize), skipped))
        return refuseTruncated(error, "its metadata");
    return true;
}

// A relative offset of SourceCopy or TargetCopy, (magnitude << 1) | sign, added to position.
bool moveBy(PatchReader& reader, std::int64_t& position) {
    std::uint64_t number = 0;
    if (!reader.byuuNumber(number)) return false;
    const std::int64_t magnitude = static_cast<std::int64_t>(number >> 1);
    position += (number & 1) ? -magnitude : magnitude;
    return true;
}

// Copies length bytes from an earlier place of the target; where the two ranges overlap the
// copy repeats what it has just written, as a run.
void copyWithin(unsigned char* target, std::uint64_t from, std::uint64_t to, std::uint64_t length) {
    while (length > 0) {
        const std::uint64_t piece = to - from < length ? to - from : length;
        std::memcpy(target + to, target + from, static_cast<std::size_t>(piece));
        to += piece;
        length -= piece;
    }
}

// Runs the actions. With target null it only checks them: every length within the target,
// every copy within the source or the target written so far, the target filled exactly.
bool runActions(PatchReader reader, const BpsHeader& header, std::size_t end, const unsigned char* source,
                unsigned char* target, PatchError& error) {
    std::uint64_t output = 0;
    std::int64_t sourcePosition = 0;
    std::int64_t targetPosition = 0;
    while (reader.position() < end) {
        std::uint64_t action = 0;
        if (!reader.byuuNumber(action) || reader.position() > end) return refuseTruncated(error, "an action");
        const std::uint64_t length = (action >> 2) + 1;
        if (length > header.targetSize - output)
            return refuse(error, PatchRefusal::Damaged, "an action writes beyond the target's size (damaged)");
        switch (action & 3) {
        case SourceRead:
            if (output + length > header.sourceSize)
                return refuse(error, PatchRefusal::Damaged, "it reads beyond the end of the source (damaged)");
            if (target) std::memcpy(target + output, source + output, static_cast<std::size_t>(length));
            break;
        case TargetRead: {
            const unsigned char* bytes = nullptr;
            if (length > end - reader.position() || !reader.bytes(static_cast<std::size_t>(length), bytes))
                return refuseTruncated(error, "an action's bytes");
            if (target) std::memcpy(target + output, bytes, static_cast<std::size_t>(length));
            break;
        }
        case SourceCopy:
            if (!moveBy(reader, sourcePosition) || reader.position() > end) return refuseTruncated(error, "an action");
            if (sourcePosition < 0 || static_cast<std::uint64_t>(sourcePosition) > header.sourceSize ||
                length > header.sourceSize - static_cast<std::uint64_t>(sourcePosition))
                return refuse(error, PatchRefusal::Damaged, "it copies from beyond the source (damaged)");
            if (target) std::memcpy(target + output, source + sourcePosition, static_cast<std::size_t>(length));
            sourcePosition += static_cast<std::int64_t>(length);
            break;
        case TargetCopy:
            if (!moveBy(reader, targetPosition) || reader.position() > end) return refuseTruncated(error, "an action");
            if (targetPosition < 0 || static_cast<std::uint64_t>(targetPosition) >= output)
                return refuse(error, PatchRefusal::Damaged, "it copies from beyond the target written so far (damaged)");
            if (target) copyWithin(target, static_cast<std::uint64_t>(targetPosition), output, length);
            targetPosition += static_cast<std::int64_t>(length);
            break;
        }
        output += length;
    }
    if (output != header.targetSize)
        return refuse(error, PatchRefusal::Damaged, "its actions do not fill the target (damaged)");
    return true;
}

// The patch CRC-32 first: a damaged patch is told as such, whatever its actions say. The
// actions are checked before any memory is asked for, so a patch that claims an enormous
// target gets no more than its actions really fill.
bool inspectBps(const unsigned char* patch, std::size_t size, PatchFacts& facts, PatchError& error) {
    if (!readCrcTrailer(patch, size, facts, error)) return false;
    PatchReader reader(patch, size - kTrailerSize);
    BpsHeader header;
    if (!readHeader(reader, header, error)) return false;
    if (header.targetSize > static_cast<std::uint64_t>(kMaxRomSize)) return refuseTooLarge(error, header.targetSize);
    if (header.sourceSize > static_cast<std::uint64_t>(kMaxRomSize))
        return refuse(error, PatchRefusal::OtherRom, "it is for a source of 2 GiB or more");
    facts.sourceSize = static_cast<std::int64_t>(header.sourceSize);
    return runActions(reader, header, size - kTrailerSize, nullptr, nullptr, error);
}

bool applyBps(const unsigned char* source, std::size_t sourceSize, const unsigned char* patch, std::size_t size,
              RomImageBuffer& target, PatchError& error) {
    PatchFacts facts;
    if (!inspectBps(patch, size, facts, error)) return false;
    PatchReader reader(patch, size - kTrailerSize);
    BpsHeader header;
    readHeader(reader, header, error);
    if (header.sourceSize != sourceSize)
        return refuse(error, PatchRefusal::OtherRom, "it is for a source of " + std::to_string(header.sourceSize) +
                                                         " bytes; this ROM has " + std::to_string(sourceSize));
    if (!allocateResult(target, header.targetSize, error)) return false;
    if (!runActions(reader, header, size - kTrailerSize, source, target.bytes(), error)) return false;
    return checkTargetCrc(target, facts.targetCrc, error);
}

} // namespace

const PatchFormatReader& bpsFormat() {
    static const PatchFormatReader format = {PatchFormat::Bps, inspectBps, applyBps};
    return format;
}
