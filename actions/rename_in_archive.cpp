#include "actions/rename_in_archive.h"

#include <memory>
#include <set>
#include <utility>

#include "actions/archive_rewrite.h"
#include "archive/entry_source.h"
#include "core/shown_text.h"
#include "identity/rom_identity.h"

namespace {

// Finds the DAT's name of entry index when it is a ROM: true with rom filled (its name left
// empty for an entry that is no ROM); false when the entry cannot be read whole.
bool nameEntry(ArchiveReader& reader, std::size_t index, const Dat& dat, ArchiveRenameEntry& rom, FileError& error) {
    EntrySource source(reader);
    ArchiveError problem;
    const std::string& name = reader.entries()[index].name;
    if (!source.open(index, kArchiveSignatureBytes, problem))
        return failArchiveStep(error, FileStep::Read, archiveReasonOf(problem), reader.path());
    if (orderFromRomHead(source.head(), source.headSize()) == ByteOrder::None) return true;
    IdentifyOptions options;
    options.digests[0] = DigestSet();
    askForDatDigests(dat, options);
    RomIdentity identity;
    std::string reason;
    if (!identifyRom(source, options, identity, reason))
        return failArchiveStep(error, FileStep::Read, "its entry " + shownText(name) + ": " + reason, reader.path());
    rom.name = name;
    const DatMatch match = dat.find(identity.digests, identity.order, identity.size);
    if (!match.rom) return true;
    rom.game = match.rom->game;
    rom.newName = datFileName(*match.rom, identity.order, rom.reason);
    rom.outcome = rom.newName.empty()     ? DatRenameOutcome::Failed
                  : rom.newName == name   ? DatRenameOutcome::AlreadyNamed
                                          : DatRenameOutcome::Renamed;
    return true;
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
    if (!reader) return failArchiveStep(report.error, FileStep::Read, archiveReasonOf(problem), request.path), report;
    std::vector<std::size_t> indexes;
    for (std::size_t index = 0; index < reader->entries().size(); ++index) {
        if (reader->entries()[index].folder) continue;
        ArchiveRenameEntry rom;
        if (!nameEntry(*reader, index, *request.dat, rom, report.error)) return report;
        if (rom.name.empty()) continue;
        report.roms.push_back(rom);
        indexes.push_back(index);
    }
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
