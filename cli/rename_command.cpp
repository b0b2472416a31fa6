#include "cli/rename_command.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <set>

#include "cli/dat_option.h"
#include "cli/file_list.h"
#include "cli/json_output.h"
#include "cli/report.h"
#include "cli/stop_signals.h"
#include "cli/summary.h"
#include "cli/usage.h"
#include "core/extension.h"
#include "core/file_system.h"
#include "core/path_name.h"

namespace {

// What the rename command was asked to do.
struct Options {
    std::string dat;     // --dat DAT; empty: $DORNAVEL_DAT
    bool dryRun = false; // --dry-run: say what would be done, rename nothing
    bool quiet = false;  // --quiet: print only failures and the summary
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

// The path the DAT gives file, or empty after reporting why there is none (outcome says how
// the file ends then); game gets the name of the DAT's game.
std::string newPathOf(const std::string& file, const Renaming& renaming, Outcome& outcome, std::string& game) {
    IdentifyOptions options;
    options.digests[0] = DigestSet();
    askForDatDigests(renaming.dat, options);
    RomIdentity identity;
    std::string reason;
    outcome = Failed;
    if (reportIfInterrupted(file)) return std::string();
    if (reportIfNotRom(file, "; name kept")) {
        outcome = NotRom;
        return std::string();
    }
    if (!identifyRom(file, options, identity, reason)) {
        reportError(file, "cannot read", reason);
        return std::string();
    }
    const DatMatch match = renaming.dat.find(identity.digests, identity.order, identity.size);
    if (!match.rom) {
        reportProblem(file, "not in the DAT, name kept");
        outcome = NotInDat;
        return std::string();
    }
    game = match.rom->game;
    const std::string name = datFileName(*match.rom, identity.order, reason);
    if (name.empty()) reportProblem(file, reason + "; name kept");
    return name.empty() ? name : besideName(file, name);
}

// The object rename gives for a file the DAT lists: how it ended, its new name, the game.
JsonObject renameFields(const char* outcome, const std::string& newPath, const std::string& game) {
    JsonObject fields = {{"outcome", outcome}};
    putPath(fields, "new_name", newPath);
    fields["game"] = jsonText(game);
    return fields;
}

// Renames one file to the name the DAT gives it, unless a dry run or the rename check of the
// core says no.
Outcome renameFile(const std::string& file, Renaming& renaming) {
    Outcome outcome = Failed;
    std::string game;
    const std::string newPath = newPathOf(file, renaming, outcome, game);
    if (newPath.empty()) return outcome;
    const RenamePlan plan = planRenameTo(file, newPath);
    switch (plan.need) {
    case RenameNeed::NotNeeded:
        reportOutcome(file, "already named as in the DAT", renameFields("already_named", newPath, game));
        return AlreadyNamed;
    case RenameNeed::AlreadyLinked:
        reportOutcome(file, "already also named " + newPath + ", both names kept",
                      renameFields("already_linked", newPath, game));
        return AlreadyNamed;
    case RenameNeed::Blocked: reportError(file, "cannot rename to " + newPath, plan.reason); return Failed;
    case RenameNeed::Needed: break;
    }
    if (!renaming.taken.insert(newPath).second) {
        reportProblem(file, "cannot rename to " + newPath + ": another file of this call takes that name");
        return Failed;
    }
    if (renaming.options.dryRun) {
        reportOutcome(file, "rename to " + newPath, renameFields("to_rename", newPath, game));
        return Renamed;
    }
    std::string reason;
    if (!renameNoReplace(file, newPath, reason)) {
        reportError(file, "cannot rename to " + newPath, reason);
        return Failed;
    }
    reportOutcome(file, "renamed to " + newPath, renameFields("renamed", newPath, game));
    return Renamed;
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
    if (options.quiet) silenceSteps();
    holdOffStopSignals();
    const FileList list = listFiles(options.files);
    Summary summary({options.dryRun ? "to rename" : "renamed", "already so named", "not in the DAT",
                     "skipped (not ROMs)", "failed"});
    Renaming renaming{options, dat, {}};
    return goThroughFiles(list, summary, NotRom, Failed, {Failed, NotInDat, NotRom},
                          [&renaming](const std::string& file) { return renameFile(file, renaming); },
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
    addJsonOption(*parser);
    parser->add_flag("-n,--dry-run", options->dryRun,
                     "say what would be renamed and check that each new name\n"
                     "is free; rename nothing");
    parser->add_flag("-q,--quiet", options->quiet, "print only failures and the closing summary");
    addFileArguments(*parser, options->files);
    parser->footer("The extension says the FILE's order as DATs do: .z64 big-endian, .v64 Doctor\n"
                   "V64, .n64 little-endian (a FILE of no known order keeps the DAT's name as it\n"
                   "is). An existing file of the new name is never replaced. After more than one\n"
                   "file a summary line follows, e.g.\n"
                   "  12 renamed, 3 already so named, 1 not in the DAT\n"
                   "The exit status is 0 only when every FILE was renamed or already so named.\n");
    return {parser, [options, parser] { return runRename(*options, *parser); }};
}
