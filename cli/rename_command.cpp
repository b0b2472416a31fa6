#include "cli/rename_command.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <set>

#include "actions/rename_by_dat.h"
#include "actions/rename_in_archive.h"
#include "archive/archive.h"
#include "cli/archive_entries.h"
#include "cli/dat_option.h"
#include "cli/file_list.h"
#include "cli/json_output.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/stop_signals.h"
#include "cli/summary.h"
#include "cli/usage.h"
#include "core/file_kind.h"

namespace {

// What the rename command was asked to do.
struct Options {
    std::string dat;     // --dat DAT; empty: $DORNAVEL_DAT
    bool dryRun = false; // --dry-run: say what would be done, rename nothing
    bool torrentZip = false; // --torrentzip: zips written anew in TorrentZip's form
    FileArguments files; // FILE... and -r
};

// How one file ended, in the order of the summary.
enum Outcome : std::size_t {
    Renamed,      // renamed (or, in a dry run, would be)
    AlreadyNamed, // already carries the DAT's name
    NotInDat,     // the DAT does not list it: name kept
    NotRom,       // left out of a folder walk for want of a ROM header, or named and not a ROM
    Failed        // could not be read or renamed; reported
};

// What one call goes through: the DAT, and the names this call gives, so that a dry run
// also sees two files that would take one name.
struct Renaming {
    const Options& options;
    const Dat& dat;
    std::set<std::string> taken; // new paths given (or planned) so far
};

// The object rename gives for a file the DAT lists: how it ended, its new name, the game.
JsonObject renameFields(const DatRenameReport& report) {
    JsonObject fields = JsonObject::object();
    putPath(fields, "new_name", report.newPath);
    fields["game"] = jsonText(report.game);
    return fields;
}

// Tells why the file keeps its name, and how it ends in the summary.
Outcome reportNameKept(const std::string& file, const DatRenameReport& report) {
    switch (report.outcome) {
    case DatRenameOutcome::NotInDat: reportProblem(file, "not in the DAT, name kept"); return NotInDat;
    case DatRenameOutcome::NotRom: reportProblem(file, notARomText(report.kind) + "; name kept"); return NotRom;
    case DatRenameOutcome::Interrupted: reportPending(file, report.pending); return Failed;
    default: break;
    }
    if (report.error.step == FileStep::None) reportProblem(file, report.error.reason + "; name kept");
    else reportFileError(file, report.error, std::string());
    return Failed;
}

// Tells one ROM of an archive: its entry renamed (a dry run: would be), already so named,
// not listed, or why the DAT's name cannot be given.
Outcome tellEntry(const std::string& archive, const ArchiveRenameEntry& rom, bool dryRun) {
    const std::string name = archive + "/" + rom.name;
    const JsonEntryScope scope(archive, rom.name);
    JsonObject fields = JsonObject::object();
    fields["new_name"] = jsonText(rom.newName);
    fields["game"] = jsonText(rom.game);
    switch (rom.outcome) {
    case DatRenameOutcome::Renamed:
        reportOutcome(name, (dryRun ? "rename to " : "renamed to ") + rom.newName, dryRun ? "to_rename" : "renamed",
                      fields);
        return Renamed;
    case DatRenameOutcome::AlreadyNamed:
        reportOutcome(name, "already named as in the DAT", "already_named", fields);
        return AlreadyNamed;
    case DatRenameOutcome::NotInDat: reportProblem(name, "not in the DAT, name kept"); return NotInDat;
    default: reportProblem(name, rom.reason + "; name kept"); return Failed;
    }
}

// Renames the ROMs of an archive in a new archive of its name; false for any other file and
// a named archive without a ROM (rename then takes it as it takes every file).
bool renameArchived(const std::string& file, bool named, const Renaming& renaming, Outcomes& outcomes) {
    if (!isArchiveFile(file)) return false;
    const ArchiveRenameReport report = renameInArchive({file, &renaming.dat, renaming.options.dryRun, renaming.options.torrentZip});
    if (report.outcome == ArchiveRenameOutcome::NoRom) {
        if (named) return false;
        ++outcomes.notRoms;
        return true;
    }
    if (report.outcome == ArchiveRenameOutcome::Failed) {
        reportArchiveLeft(file, report.error);
        outcomes.list.push_back(Failed);
        return true;
    }
    for (const ArchiveRenameEntry& rom : report.roms)
        outcomes.list.push_back(tellEntry(file, rom, renaming.options.dryRun));
    return true;
}

// Renames one file to the name the DAT gives it, unless a dry run or the rename check of the
// core says no; or the ROMs inside an archive.
Outcomes renameFile(const std::string& file, bool named, Renaming& renaming) {
    Outcomes entries;
    if (renameArchived(file, named, renaming, entries)) return entries;
    const DatRenameReport report = renameByDat({file, &renaming.dat, renaming.options.dryRun, &renaming.taken});
    switch (report.outcome) {
    case DatRenameOutcome::AlreadyNamed:
        reportOutcome(file, "already named as in the DAT", "already_named", renameFields(report));
        return AlreadyNamed;
    case DatRenameOutcome::AlreadyLinked:
        reportOutcome(file, "already also named " + report.newPath + ", both names kept",
                      "already_linked", renameFields(report));
        return AlreadyNamed;
    case DatRenameOutcome::Renamed:
        if (renaming.options.dryRun) reportOutcome(file, "rename to " + report.newPath, "to_rename", renameFields(report));
        else reportOutcome(file, "renamed to " + report.newPath, "renamed", renameFields(report));
        return Renamed;
    default: return reportNameKept(file, report);
    }
}

// Renames every file of the arguments and sums up.
int runRename(const Options& options, const CLI::App& parser) {
    const std::string datPath = findDat(options.dat);
    if (datPath.empty()) {
        reportUsageError(parser, "no DAT given: give --dat DAT, or name one in DORNAVEL_DAT");
        return kExitUsage;
    }
    Dat dat;
    if (!loadDat(datPath, dat)) return kExitFailure;
    holdOffStopSignals();
    const FileList list = listFiles(options.files);
    Summary summary({options.dryRun ? "to rename" : "renamed", "already so named", "not in the DAT",
                     "skipped (not ROMs)", "failed"});
    Renaming renaming{options, dat, {}};
    return goThroughFiles(list, summary, NotRom, Failed, {Failed, NotInDat, NotRom},
                          [&](const std::string& file) { return renameFile(file, list.named(file), renaming); },
                          [](std::size_t outcome) {
                              return outcome == Renamed  ? "renamed"
                                     : outcome == Failed ? "failed, as told above"
                                                         : "name kept";
                          });
}

} // namespace

Command addRenameCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "rename",
                                        "give each FILE that a DAT lists the DAT's name, with the\n"
                                        "extension of the FILE's own order, in its own folder");
    auto options = std::make_shared<Options>();
    addDatOption(*parser, options->dat);
    addOutputOptions(*parser);
    addProgressOptions(*parser);
    addTorrentZipOption(*parser, options->torrentZip);
    addDryRunOption(*parser, options->dryRun,
                     "say what would be renamed and check that each new name\n"
                     "is free; rename nothing");
    addFileArguments(*parser, options->files, true);
    parser->footer("The extension says the FILE's order as DATs do: .z64 big-endian, .v64 Doctor\n"
                   "V64, .n64 little-endian (a FILE of no known order keeps the DAT's name as it\n"
                   "is). An existing file of the new name is never replaced. The ROMs inside an\n"
                   "archive (zip, 7z, gzip) are renamed in a new archive that keeps its name.\n"
                   "After more than one\n"
                   "file a summary line follows, e.g.\n"
                   "  12 renamed, 3 already so named, 1 not in the DAT\n"
                   "The exit status is 0 only when every FILE was renamed or already so named.\n");
    return {parser, [options, parser] { return runRename(*options, *parser); }};
}
