#include "actions/apply_patch.h"

#include "actions/archived_input.h"
#include "core/conversion.h"
#include "core/extension.h"
#include "core/file_ops.h"
#include "core/path_name.h"

namespace {

// Sets the step patching stopped at; returns false, for "return stop(...)".
bool stop(PatchReport& report, PatchStep step) {
    report.failed = step;
    return false;
}

// The result, in the order the patch was made for, brought to the order of the new file;
// its check code is found on the way through big-endian.
void finishResult(RomImageBuffer& result, PatchReport& report) {
    convertToBig(result.bytes(), result.size(), report.patchOrder);
    identifyBigEndianImage(result.bytes(), result.size(), report.outputOrder, report.result);
    convertFromBig(result.bytes(), result.size(), report.outputOrder);
}

} // namespace

// A taken name is told before anything is read, unless the bytes go to a stream (writeNewFile
// would refuse it anyway). A ROM in the middle of an interrupted update is not read at all:
// its bytes are in no one order until the update is finished.
bool patchRomFile(const PatchRequest& job, PatchReport& report) {
    report = PatchReport();
    if (!job.stream && fileOps().identify(job.output, false).exists) return stop(report, PatchStep::OutputTaken);
    report.pending = pendingUpdate(job.rom);
    if (report.pending.found()) return stop(report, PatchStep::Interrupted);
    RomImageBuffer rom;
    if (!readWholeInput(job.rom, WantedEntry::Rom, rom, report.romEntry, report.error))
        return stop(report, PatchStep::ReadRom);
    report.romKind = kindFromSignature(rom.bytes(), rom.size());
    if (report.romKind != FileKind::Unrecognised) return stop(report, PatchStep::NotRom);
    report.romOrder = rom.size() > 0 ? orderFromFirstByte(rom.bytes()[0]) : ByteOrder::None;
    if (report.romOrder == ByteOrder::None) return stop(report, PatchStep::RomOrder);
    RomImageBuffer patch;
    if (!readWholeInput(job.patch, WantedEntry::Patch, patch, report.patchEntry, report.error))
        return stop(report, PatchStep::ReadPatch);

    PatchOutcome outcome;
    const bool applied = applyPatch(rom.bytes(), rom.size(), report.romOrder, patch.bytes(), patch.size(),
                                    job.patchOrder, outcome, report.patchError);
    report.format = outcome.format;
    if (!applied) return stop(report, PatchStep::Apply);
    rom.release();
    patch.release();
    report.patchOrder = outcome.patchOrder;
    report.basis = outcome.basis;
    report.outputOrder = job.outputOrder != ByteOrder::None ? job.outputOrder : report.romOrder;
    finishResult(outcome.result, report);
    const NewFileOutput output{job.output, job.stream, job.dryRun};
    if (!deliverNewFile(output, outcome.result.bytes(), outcome.result.size(), report.error))
        return stop(report, PatchStep::Write);
    return true;
}

std::string patchedPathBeside(const std::string& rom, const std::string& patch, const std::string& extension) {
    return besideName(rom, withExtension(nameOf(patch), extension));
}

PatchFormat recognisePatchFile(const std::string& path) {
    const std::size_t kLongestMagic = 5; // "PATCH"
    RomImageBuffer start;
    std::int64_t size = 0;
    std::string reason;
    if (!readRomImage(path, kLongestMagic, start, size, ReadProgress(), reason)) return PatchFormat::None;
    return recognisePatch(start.bytes(), start.size());
}
