#include "actions/fix_check_code.h"

#include <vector>

#include "core/conversion.h"
#include "core/rom_kind.h"

namespace {

// Reads under the lock the part of the file the check needs, brought to big-endian in memory,
// and finds the check of it.
bool readAndCheck(RomUpdate& update, BootChip forcedChip, RomIdentity& identity, FileError& error) {
    identity.size = update.size();
    identity.order = update.order();
    const std::size_t size = static_cast<std::uint64_t>(update.size()) < kCheckReadLimit
                                 ? static_cast<std::size_t>(update.size())
                                 : kCheckReadLimit;
    std::vector<unsigned char> image(size);
    if (size > 0 && !update.read(0, image.data(), size, error)) return false;
    convertToBig(image.data(), size, identity.order);
    identifyImage(image.data(), size, forcedChip, identity);
    return true;
}

} // namespace

// The 8 bytes of codes as they lie in a file of order.
void checkCodesInOrder(const CheckCode& code, ByteOrder order, unsigned char* bytes) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<unsigned char>(code.crc1 >> (24 - 8 * i));
        bytes[4 + i] = static_cast<unsigned char>(code.crc2 >> (24 - 8 * i));
    }
    convertFromBig(bytes, kCodesSize, order);
}

// What the checked file calls for: nothing when it is right or cannot be computed.
FixOutcome fixNeedOf(const RomIdentity& identity) {
    switch (identity.check.verdict) {
    case CheckVerdict::Ok: return FixOutcome::AlreadyRight;
    case CheckVerdict::Mismatch: return FixOutcome::Fixed;
    case CheckVerdict::NotVerified: break;
    }
    return FixOutcome::NotComputed;
}

// The file is read under the lock the write is made under, so the codes written are those of
// the bytes there, whatever another program did before.
FixReport fixCheckCode(const FixRequest& request) {
    FixReport report;
    RomUpdate update;
    if (request.severalNames) update.allowSeveralNames();
    if (!update.open(request.path, report.error, request.dryRun ? OpenPurpose::Check : OpenPurpose::Update))
        return report;
    report.finished = update.interrupted();
    if (!refuseNonRom(update, report.error)) return report;
    if (!readAndCheck(update, request.chip, report.identity, report.error)) return report;
    const FixOutcome need = fixNeedOf(report.identity);
    if (need == FixOutcome::Fixed && request.dryRun) {
        if (!update.checkWrite(request.backup, report.error)) return report;
        if (request.backup) report.backup = update.backupName();
    } else if (need == FixOutcome::Fixed) {
        if (request.backup && !update.backUp(report.error)) return report;
        if (update.backedUp()) report.backup = update.backupName();
        unsigned char codes[kCodesSize];
        checkCodesInOrder(report.identity.check.computed, report.identity.order, codes);
        if (!update.replace(kCodesOffset, codes, kCodesSize, report.error)) return report;
    }
    if (!update.close(report.error)) return report;
    report.outcome = need;
    return report;
}
