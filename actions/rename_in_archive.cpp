#include "actions/rename_in_archive.h"

#include <memory>
#include <set>
#include <utility>

#include "actions/archive_rewrite.h"
#include "identity/rom_identity.h"

namespace {

// The DAT's name for a ROM entry of identity, and what it calls for.
ArchiveRenameEntry namedByDat(const Dat& dat, const std::string& name, const RomIdentity& identity) {
    ArchiveRenameEntry rom;
    rom.name = name;
    const DatMatch match = dat.find(identity.digests, identity.order, identity.size);
    if (!match.rom) return rom;
    rom.game = match.rom->game;
    rom.newName = datFileName(*match.rom, identity.order, rom.reason);
    rom.outcome = rom.newName.empty()   ? DatRenameOutcome::Failed
                  : rom.newName == name ? DatRenameOutcome::AlreadyNamed
                                        : DatRenameOutcome::Renamed;
    return rom;
}

// Refuses the new names that another entry has or takes already.
void refuseTakenNames(const ArchiveReader& reader, std::vector<ArchiveRenameEntry>& roms) {
    std::set<std::string> names;
    for (const ArchiveEntry& entry : reader.entries()) names.insert(entry.name);
    for (ArchiveRenameEntry& rom : roms) {
        if (rom.outcome != DatRenameOutcome::Renamed) continue;
        if (names.insert(rom.newName).second) continue;
        rom.outcome = DatRenameOutcome::Failed;
        rom.reason = "another entry of the archive has or takes that name";
    }
}

} // namespace

// Every entry is named before anything is written.
ArchiveRenameReport renameInArchive(const ArchiveRenameRequest& request) {
    ArchiveRenameReport report;
    ArchiveError problem;
    std::unique_ptr<ArchiveReader> reader = openArchive(request.path, problem);
    if (!reader) return failFileStep(report.error, FileStep::Read, archiveReasonOf(problem), request.path), report;
    IdentifyOptions options;
    options.digests[0] = DigestSet();
    askForDatDigests(*request.dat, options);
    std::vector<std::size_t> indexes;
    const auto take = [&](std::size_t index, const RomIdentity& identity) {
        report.roms.push_back(namedByDat(*request.dat, reader->entries()[index].name, identity));
        indexes.push_back(index);
    };
    if (!forEachArchivedRom(*reader, options, take, report.error)) return report;
    refuseTakenNames(*reader, report.roms);
    std::vector<EntryRewrite> rewrites;
    for (std::size_t rom = 0; rom < report.roms.size(); ++rom)
        if (report.roms[rom].outcome == DatRenameOutcome::Renamed)
            rewrites.push_back({indexes[rom], report.roms[rom].newName, [](unsigned char*, std::size_t) {}});
    report.outcome = report.roms.empty() ? ArchiveRenameOutcome::NoRom
                     : rewrites.empty()  ? ArchiveRenameOutcome::NothingDone
                                         : ArchiveRenameOutcome::Renamed;
    if (report.outcome != ArchiveRenameOutcome::Renamed) return report;
    if (!refuseRewriteOptions(*reader, {std::string(), request.torrentZip}, report.error))
        return report.outcome = ArchiveRenameOutcome::Failed, report;
    if (request.dryRun) return report;
    report.outcome = ArchiveRenameOutcome::Failed;
    if (!rewriteArchive(std::move(reader), rewrites, {std::string(), request.torrentZip}, report.error)) return report;
    report.outcome = ArchiveRenameOutcome::Renamed;
    return report;
}
