#include "identity/rom_identity.h"

#include <memory>

#include "core/conversion.h"
#include "identity/rom_image_reader.h"

namespace {

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

// The digests of a file being read, in every order asked for. Each piece read passes through
// the orders in turn, in place while it is fresh in the cache: the file's own first (its bytes
// as they are), then the other one asked for, then big-endian, where the image stays. The
// big-endian digests run behind the reading; the others on the reading thread.
class PieceDigests {
public:
    PieceDigests(unsigned char* image, ByteOrder order, const IdentifyOptions& options) : image_(image), order_(order) {
        DigestSet big = options.digests[0];
        for (std::size_t slot = 1; slot < kOrderSlots; ++slot) {
            if (order == ByteOrder::None) big |= options.digests[slot]; // taken as it is, in one slot
            else if (options.digests[slot].any()) addPass(slot, options.digests[slot]);
        }
        computed_[0] = big;
        big_.reset(new ConcurrentDigests(image, big));
    }

    // Takes the bytes read since the last call through the orders and hands them on.
    void advance(std::size_t filled) {
        unsigned char* piece = image_ + converted_;
        const std::size_t n = filled - converted_;
        ByteOrder current = order_;
        for (std::size_t i = 0; i < passes_; ++i) {
            convertOrder(piece, n, current, slotOrder(slots_[i]));
            current = slotOrder(slots_[i]);
            runs_[i]->update(piece, n);
        }
        convertOrder(piece, n, current, ByteOrder::BigEndian);
        converted_ = filled;
        big_->advance(filled);
    }

    // Waits for the digests and writes them to out.
    bool finish(OrderedDigests& out, std::string& reason) {
        if (!big_->finish(out.values[0], reason)) return false;
        for (std::size_t i = 0; i < passes_; ++i)
            if (!runs_[i]->finish(out.values[slots_[i]], reason)) return false;
        for (std::size_t slot = 0; slot < kOrderSlots; ++slot) out.computed[slot] = computed_[slot];
        return true;
    }

private:
    // Adds the pass through the order of slot; the file's own order goes first.
    void addPass(std::size_t slot, DigestSet wanted) {
        const std::size_t at = slot == orderSlot(order_) ? 0 : passes_;
        for (std::size_t i = passes_; i > at; --i) {
            slots_[i] = slots_[i - 1];
            runs_[i] = std::move(runs_[i - 1]);
        }
        slots_[at] = slot;
        runs_[at].reset(new DigestRun(wanted));
        computed_[slot] = wanted;
        ++passes_;
    }

    unsigned char* image_;
    ByteOrder order_;
    std::size_t converted_ = 0;
    std::unique_ptr<ConcurrentDigests> big_;
    std::size_t passes_ = 0;                // through orders other than big-endian
    std::size_t slots_[kOrderSlots - 1] = {};
    std::unique_ptr<DigestRun> runs_[kOrderSlots - 1];
    DigestSet computed_[kOrderSlots];
};

// Whether any digest is asked for.
bool wantsDigests(const IdentifyOptions& options) {
    for (const DigestSet& set : options.digests)
        if (set.any()) return true;
    return false;
}

// Reads the file, bringing each piece to big-endian (and through the other orders asked for)
// as it arrives and handing it to digests, which then run while the rest is read; digests
// stays null when none are asked for.
bool readBigEndian(ByteSource& source, const IdentifyOptions& options, RomImageBuffer& image,
                   RomIdentity& identity, std::unique_ptr<PieceDigests>& digests, std::string& reason) {
    const bool withDigests = wantsDigests(options);
    std::size_t converted = 0;
    const ReadProgress progress = [&](std::size_t filled) {
        if (converted == 0) identity.order = orderFromFirstByte(image.bytes()[0]);
        if (withDigests) {
            if (!digests) digests.reset(new PieceDigests(image.bytes(), identity.order, options));
            digests->advance(filled);
        } else {
            convertToBig(image.bytes() + converted, filled - converted, identity.order);
        }
        converted = filled;
    };
    const std::size_t limit = withDigests ? static_cast<std::size_t>(kMaxRomSize) : kCheckReadLimit;
    if (!readRomImage(source, limit, image, identity.size, progress, reason)) return false;
    if (withDigests && !digests) digests.reset(new PieceDigests(image.bytes(), identity.order, options)); // empty
    return true;
}

} // namespace

double sizeInMbit(std::int64_t size) {
    return static_cast<double>(size) / 131072.0;
}

void identifyImage(const unsigned char* image, std::size_t size, BootChip forcedChip, RomIdentity& identity) {
    identity.hasHeader = readHeader(image, size, identity.header);
    identity.hasBootCode = size >= kBootCodeEnd;
    identity.recognisedChip = recogniseBootChip(image, size, identity.bootCodeCrc32);
    identity.check = checkImage(image, size, identity, forcedChip);
}

bool identifyRom(const std::string& path, const IdentifyOptions& options, RomIdentity& identity,
                 std::string& reason) {
    identity = RomIdentity();
    FileByteSource file;
    return file.open(path, reason) && identifyRom(file, options, identity, reason);
}

bool identifyRom(ByteSource& source, const IdentifyOptions& options, RomIdentity& identity, std::string& reason) {
    identity = RomIdentity();
    RomImageBuffer image;
    std::unique_ptr<PieceDigests> digests;
    if (!readBigEndian(source, options, image, identity, digests, reason)) return false;

    // The check runs while the digests' thread finishes the last pieces.
    identifyImage(image.bytes(), image.size(), options.forcedChip, identity);
    if (!digests) return true;
    identity.hasDigests = digests->finish(identity.digests, reason);
    return identity.hasDigests;
}

void identifyBigEndianImage(const unsigned char* image, std::size_t size, ByteOrder order, RomIdentity& identity) {
    identity = RomIdentity();
    identity.size = static_cast<std::int64_t>(size);
    identity.order = order;
    identifyImage(image, size, BootChip::Unknown, identity);
}
