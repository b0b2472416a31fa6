#include "actions/finish_update.h"

#include "core/rom_update.h"

// The open of an update finishes what it finds; only a record beside the file makes it worth
// opening the file for update at all.
FinishReport finishPendingUpdate(const std::string& path) {
    FinishReport report;
    report.pending = pendingUpdate(path);
    if (!report.pending.found()) return report.done = true, report;
    RomUpdate update;
    if (!update.open(path, report.error)) return report;
    report.pending = update.interrupted();
    report.done = update.close(report.error);
    return report;
}
