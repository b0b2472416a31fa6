#include "actions/make_patch.h"

#include <cstring>
#include <vector>

#include "core/conversion.h"
#include "core/extension.h"
#include "core/file_ops.h"
#include "patch/make_patch.h"

namespace {

// Sets the step making stopped at, and the file it concerns; returns false.
bool stop(MakePatchReport& report, MakePatchStep step, const std::string& file = std::string()) {
    report.failed = step;
    if (!file.empty()) report.error.path = file;
    return false;
}

// Reads the ROM at path whole and brings it to order; its own order goes to found.
bool readInOrder(const std::string& path, ByteOrder order, RomImageBuffer& image, ByteOrder& found,
                 MakePatchReport& report) {
    report.pending = pendingUpdate(path);
    if (report.pending.found()) return stop(report, MakePatchStep::Interrupted, path);
    std::int64_t size = 0;
    if (!readRomImage(path, static_cast<std::size_t>(kMaxRomSize), image, size, ReadProgress(), report.error.reason))
        return stop(report, MakePatchStep::Read, path);
    report.error.kind = kindFromSignature(image.bytes(), image.size());
    if (report.error.kind != FileKind::Unrecognised) return stop(report, MakePatchStep::Order, path);
    found = image.size() > 0 ? orderFromFirstByte(image.bytes()[0]) : ByteOrder::None;
    if (found == ByteOrder::None) return stop(report, MakePatchStep::Order, path);
    convertOrder(image.bytes(), image.size(), found, order);
    return true;
}

// Applies the patch made to the original (which serves as scratch) in the order it was made
// for; the result must be the modified image, byte for byte.
bool checkPatch(const std::vector<unsigned char>& patch, RomImageBuffer& original, const RomImageBuffer& modified,
                ByteOrder order, MakePatchReport& report) {
    PatchOutcome outcome;
    PatchError error;
    const bool applied = applyPatch(original.bytes(), original.size(), order, patch.data(), patch.size(), order,
                                    outcome, error);
    if (applied && outcome.result.size() == modified.size() &&
        (modified.size() == 0 || std::memcmp(outcome.result.bytes(), modified.bytes(), modified.size()) == 0))
        return true;
    report.error.reason = applied ? "applied to the original, the patch made does not give the modified ROM"
                            : "the patch made is refused by this program's own applier (" + error.reason + ")";
    return stop(report, MakePatchStep::Check);
}

} // namespace

// Nothing is read when the new file's name is taken (unless the bytes go to a stream); nothing
// is written on any refusal.
bool makePatchFile(const MakePatchRequest& request, MakePatchReport& report) {
    report = MakePatchReport();
    report.output = request.output.empty() ? patchPathFor(request.modified, request.format) : request.output;
    if (!request.stream && fileOps().identify(report.output, false).exists)
        return stop(report, MakePatchStep::OutputTaken);
    RomImageBuffer original, modified;
    if (!readInOrder(request.original, request.order, original, report.originalOrder, report) ||
        !readInOrder(request.modified, request.order, modified, report.modifiedOrder, report))
        return false;
    report.identical = original.size() == modified.size() &&
                       std::memcmp(original.bytes(), modified.bytes(), original.size()) == 0;
    const PatchSource source{original.bytes(), original.size(), modified.bytes(), modified.size(), request.metadata};
    std::vector<unsigned char> patch;
    if (!makePatch(request.format, source, patch, report.error.reason)) return stop(report, MakePatchStep::Make);
    if (!checkPatch(patch, original, modified, request.order, report)) return false;
    report.patchSize = patch.size();
    const NewFileOutput output{report.output, request.stream, request.dryRun};
    if (!deliverNewFile(output, patch.data(), patch.size(), report.error))
        return stop(report, MakePatchStep::Write);
    return true;
}

std::string patchPathFor(const std::string& modified, PatchFormat format) {
    return withExtension(modified, patchExtension(format));
}
