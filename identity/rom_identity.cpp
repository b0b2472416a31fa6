#include "identity/rom_identity.h"

#include <memory>

#include "core/conversion.h"
#include "identity/rom_image_reader.h"

namespace {

// The most a check reads: the Aleck64 chip's longest checked range.
const std::size_t kCheckReadLimit = kCheckedStart + kAleckLongLength;

// Why the image cannot be checked before any code is computed; None when it can.
NotVerifiedReason obstacle(const RomIdentity& identity, BootChip chip) {
    if (identity.order == ByteOrder::None) return NotVerifiedReason::OrderUnknown;
    if (!identity.hasBootCode) return NotVerifiedReason::ShortFile;
    if (chip == BootChip::Unknown) return NotVerifiedReason::UnknownBootCode;
    if (checkedLength(chip, identity.header.entryPoint) == 0) return NotVerifiedReason::NoAlgorithm;
    return NotVerifiedReason::None;
}

// Computes the check code for the forced chip, else the recognised one, and compares it with
// the header's. image holds at least the checked range or the whole file.
CheckResult checkImage(const unsigned char* image, std::size_t size, const RomIdentity& identity,
                       BootChip forcedChip) {
    CheckResult result;
    result.forced = forcedChip != BootChip::Unknown;
    result.chip = result.forced ? forcedChip : identity.recognisedChip;
    result.header = {identity.header.crc1, identity.header.crc2};
    result.reason = obstacle(identity, result.chip);
    if (result.reason != NotVerifiedReason::None) return result;

    computeCheckCode(result.chip, image, size, identity.header.entryPoint, result.computed);
    result.checkedEnd = kCheckedStart + checkedLength(result.chip, identity.header.entryPoint);
    result.padded = identity.size < static_cast<std::int64_t>(result.checkedEnd);
    const bool same = result.computed.crc1 == result.header.crc1 && result.computed.crc2 == result.header.crc2;
    result.verdict = same ? CheckVerdict::Ok : CheckVerdict::Mismatch;
    return result;
}

// Reads the file, bringing each piece to big-endian as it arrives and handing it to the
// digests, which then run while the rest is read.
bool readBigEndian(const std::string& path, bool withDigests, RomImageBuffer& image, RomIdentity& identity,
                   std::string& reason) {
    std::unique_ptr<ConcurrentDigests> digests;
    std::size_t converted = 0;
    const ReadProgress progress = [&](std::size_t filled) {
        if (converted == 0) identity.order = orderFromFirstByte(image.bytes()[0]);
        convertToBig(image.bytes() + converted, filled - converted, identity.order);
        converted = filled;
        if (!withDigests) return;
        if (!digests) digests.reset(new ConcurrentDigests(image.bytes()));
        digests->advance(filled);
    };
    const std::size_t limit = withDigests ? static_cast<std::size_t>(kLargestReadableRom) : kCheckReadLimit;
    if (!readRomImage(path, limit, image, identity.size, progress, reason)) return false;
    if (!withDigests) return true;
    if (!digests) digests.reset(new ConcurrentDigests(image.bytes())); // an empty file
    identity.hasDigests = digests->finish(identity.digests, reason);
    return identity.hasDigests;
}

// The header, the boot chip and the check code of a big-endian image (or of its first part,
// as far as the check reads).
void findHeaderAndCheck(const unsigned char* image, std::size_t size, BootChip forcedChip, RomIdentity& identity) {
    identity.hasHeader = readHeader(image, size, identity.header);
    identity.hasBootCode = size >= kBootCodeEnd;
    identity.recognisedChip = recogniseBootChip(image, size, identity.bootCodeCrc32);
    identity.check = checkImage(image, size, identity, forcedChip);
}

} // namespace

double sizeInMbit(std::int64_t size) {
    return static_cast<double>(size) / 131072.0;
}

bool identifyRom(const std::string& path, const IdentifyOptions& options, RomIdentity& identity,
                 std::string& reason) {
    identity = RomIdentity();
    RomImageBuffer image;
    if (!readBigEndian(path, options.digests, image, identity, reason)) return false;
    findHeaderAndCheck(image.bytes(), image.size(), options.forcedChip, identity);
    return true;
}

void identifyBigEndianImage(const unsigned char* image, std::size_t size, ByteOrder order, RomIdentity& identity) {
    identity = RomIdentity();
    identity.size = static_cast<std::int64_t>(size);
    identity.order = order;
    findHeaderAndCheck(image, size, BootChip::Unknown, identity);
}
