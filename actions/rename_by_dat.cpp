#include "actions/rename_by_dat.h"

#include "core/byte_order.h"
#include "core/extension.h"
#include "core/file_system.h"
#include "core/path_name.h"
#include "identity/rom_identity.h"

namespace {

// Ends report as failed at step, for path and reason.
DatRenameReport& refuse(DatRenameReport& report, FileStep step, const std::string& path, const std::string& reason) {
    report.outcome = DatRenameOutcome::Failed;
    report.error.step = step;
    report.error.path = path;
    report.error.reason = reason;
    return report;
}

// Finds the file's entry in the DAT and the name it gives; false (report ended) when there
// is none to give.
bool findNewPath(const DatRenameRequest& request, DatRenameReport& report) {
    report.pending = pendingUpdate(request.path);
    if (report.pending.found()) return report.outcome = DatRenameOutcome::Interrupted, false;
    FileError look;
    detectByteOrder(request.path, look);
    report.kind = look.kind;
    if (look.step == FileStep::NotRom) return report.outcome = DatRenameOutcome::NotRom, false;
    IdentifyOptions options;
    options.digests[0] = DigestSet();
    askForDatDigests(*request.dat, options);
    RomIdentity identity;
    std::string reason;
    if (!identifyRom(request.path, options, identity, reason))
        return refuse(report, FileStep::Read, request.path, reason), false;
    const DatMatch match = request.dat->find(identity.digests, identity.order, identity.size);
    if (!match.rom) return report.outcome = DatRenameOutcome::NotInDat, false;
    report.game = match.rom->game;
    const std::string name = datFileName(*match.rom, identity.order, reason);
    if (name.empty()) return refuse(report, FileStep::None, request.path, reason), false;
    report.newPath = besideName(request.path, name);
    return true;
}

} // namespace

DatRenameReport renameByDat(const DatRenameRequest& request) {
    DatRenameReport report;
    if (!findNewPath(request, report)) return report;
    const RenamePlan plan = planRenameTo(request.path, report.newPath);
    switch (plan.need) {
    case RenameNeed::NotNeeded: report.outcome = DatRenameOutcome::AlreadyNamed; return report;
    case RenameNeed::AlreadyLinked: report.outcome = DatRenameOutcome::AlreadyLinked; return report;
    case RenameNeed::Blocked: return refuse(report, FileStep::Rename, report.newPath, plan.reason);
    case RenameNeed::Needed: break;
    }
    if (request.taken && !request.taken->insert(report.newPath).second)
        return refuse(report, FileStep::Rename, report.newPath, "another file of this call takes that name");
    std::string reason;
    if (!request.dryRun && !renameNoReplace(request.path, report.newPath, reason))
        return refuse(report, FileStep::Rename, report.newPath, reason);
    report.outcome = DatRenameOutcome::Renamed;
    return report;
}
