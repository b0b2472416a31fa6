#include "cli/convert_in_archive.h"

#include "archive/archive.h"
#include "cli/archive_entries.h"
#include "cli/json_output.h"
#include "cli/order_names.h"
#include "cli/report.h"

namespace {

// The object of an entry, as convert gives one for a file.
JsonObject entryFields(const char* outcome, const ArchiveRomEntry& rom, const ArchiveConvertRequest& request,
                       const std::string& backup) {
    JsonObject fields = {{"result", outcome}, {"from", orderName(rom.order)}, {"to", orderName(request.target)},
                         {"backup", nullptr}, {"renamed_to", nullptr}};
    if (!backup.empty()) putPath(fields, "backup", backup);
    if (!rom.renamedTo.empty()) putPath(fields, "renamed_to", rom.renamedTo);
    return fields;
}

// Tells one ROM of the archive: converted (a dry run: would be, with its planned steps), or
// already in the target order.
std::size_t tellEntry(const std::string& file, const ArchiveRomEntry& rom, const ArchiveConvertRequest& request,
                      const std::string& backup, const ConvertOutcomes& kinds) {
    const std::string name = file + "/" + rom.name;
    const JsonEntryScope scope(file, rom.name);
    if (!rom.converted) {
        reportOutcome(name, std::string("already ") + orderName(rom.order) + ", left untouched", "already_in_order",
                      entryFields("already_in_order", rom, request, std::string()));
        return kinds.alreadyInOrder;
    }
    const char* outcome = request.dryRun ? "would_convert" : "converted";
    std::string text = std::string(orderName(rom.order)) + " -> " + orderName(request.target);
    if (request.dryRun && !backup.empty()) text += ", backup";
    if (request.dryRun && !rom.renamedTo.empty()) text += ", rename to " + rom.renamedTo;
    reportOutcome(name, text, outcome, entryFields(outcome, rom, request, backup));
    if (!request.dryRun && !rom.renamedTo.empty()) reportStep(name, "renamed to " + rom.renamedTo);
    return kinds.converted;
}

} // namespace

bool convertInArchive(const std::string& file, bool named, ArchiveConvertRequest request,
                      const ConvertOutcomes& kinds, Outcomes& outcomes) {
    if (!isArchiveFile(file)) return false;
    request.path = file;
    const ArchiveConvertReport report = convertArchive(request);
    if (report.outcome == ArchiveConvertOutcome::NoRom) {
        if (named) return false;
        ++outcomes.notRoms;
        return true;
    }
    if (report.outcome == ArchiveConvertOutcome::Failed) {
        reportArchiveLeft(file, report.error);
        outcomes.list.push_back(kinds.failed);
        return true;
    }
    if (!request.dryRun && !report.backup.empty()) reportStep(file, "backup written to " + report.backup);
    for (const ArchiveRomEntry& rom : report.roms)
        outcomes.list.push_back(tellEntry(file, rom, request, report.backup, kinds));
    return true;
}
