#include "cli/convert_command.h"

#include <CLI/CLI.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli/file_list.h"
#include "cli/json_output.h"
#include "cli/order_names.h"
#include "cli/order_option.h"
#include "cli/report.h"
#include "cli/stop_signals.h"
#include "cli/summary.h"
#include "cli/usage.h"
#include "core/conversion.h"
#include "core/extension.h"
#include "core/file_system.h"
#include "core/path_name.h"
#include "core/rom_kind.h"
#include "core/rom_update.h"

namespace {

// What the convert command was asked to do.
struct Options {
    ByteOrder target = ByteOrder::None; // --to: the order to write
    ByteOrder source = ByteOrder::None; // --from: the order to assume; None: recognise it
    bool backup = false;                // --backup: write FILE.bak first
    bool rename = false;                // --rename: give the file the extension of its order
    ExtensionSet names = ExtensionSet::Window; // --rename=common: the extensions emulators use
    std::string namesWord;              // the word given after --rename=, or "window"
    bool dryRun = false;                // --dry-run: say what would be done, write nothing
    bool hardLinks = false;             // --hard-links: write a file with several names too
    bool quiet = false;                 // --quiet: print only failures and the summary
    FileArguments files;                // FILE... and -r
};

// How one file ended, in the order of the summary.
enum Outcome : std::size_t {
    Converted,      // converted (or, in a dry run, would be)
    AlreadyInOrder, // already in the target order, left untouched
    NotRom,         // not recognised as a ROM, left untouched
    Failed          // something went wrong; reported
};

// The start of a file's JSON object: how it ended, the orders, no backup and no new name yet.
JsonObject convertFields(const char* result, ByteOrder source, const Options& options) {
    return {{"result", result},  {"from", orderName(source)}, {"to", orderName(options.target)},
            {"backup", nullptr}, {"renamed_to", nullptr}};
}

// What one call goes through: its files, by the identity of each, so that a backup never
// replaces a file named in the same call.
using FileKey = std::pair<std::uint64_t, std::uint64_t>;
using CallFiles = std::set<FileKey>;

// The identities of the files of the call.
CallFiles identitiesOf(const std::vector<std::string>& files) {
    CallFiles identities;
    for (const std::string& file : files) {
        const FileIdentity identity = fileOps().identify(file, true);
        if (identity.exists) identities.insert({identity.device, identity.file});
    }
    return identities;
}

// Whether the backup of file would take the place of another file of the call.
bool backupReplacesAFileOfTheCall(const std::string& file, const CallFiles& files) {
    const FileIdentity backup = fileOps().identify(backupPath(file), true);
    return backup.exists && files.count({backup.device, backup.file}) != 0 && !sameFile(file, backupPath(file));
}

// When the file cannot be opened for update (read-only media, no write permission), a look
// that reads only tells the files that need no write apart: those keep their old answers.
// True when such a file was reported; outcome then says how it ended.
bool reportWithoutUpdate(const std::string& file, const Options& options, Outcome& outcome) {
    std::string reason;
    FileKind kind = FileKind::Unrecognised;
    const ByteOrder detected = detectByteOrder(file, &reason, &kind);
    outcome = Failed;
    if (detected == ByteOrder::None && !reason.empty()) {
        reportError(file, "cannot read", reason);
        return true;
    }
    if (reportIfInterrupted(file)) return true;
    if (kind != FileKind::Unrecognised) {
        reportProblem(file, notARomText(kind) + "; nothing written");
        outcome = NotRom;
        return true;
    }
    const ByteOrder source = options.source != ByteOrder::None ? options.source : detected;
    if (source == ByteOrder::None) {
        reportError(file, "skipped", "byte order not recognised (give --from ORDER to convert it anyway)");
        outcome = NotRom;
        return true;
    }
    if (source != options.target) return false;
    reportOutcome(file, std::string("already ") + orderName(source) + ", left untouched",
                  convertFields("already_in_order", source, options));
    outcome = AlreadyInOrder;
    return true;
}

// Opens file for the update under its lock, and tells what the open did to an interrupted
// update found beside it (a dry run only tells what the real run would do).
bool openForUpdate(RomUpdate& update, const std::string& file, const Options& options, Outcome& outcome) {
    FileError error;
    outcome = Failed;
    if (options.hardLinks) update.allowSeveralNames();
    if (!update.open(file, error, options.dryRun ? OpenPurpose::Check : OpenPurpose::Update)) {
        if (error.step != FileStep::Open || !reportWithoutUpdate(file, options, outcome))
            reportFileError(file, error, std::string());
        return false;
    }
    if (!refuseNonRom(update, error)) {
        reportFileError(file, error, std::string());
        if (error.step == FileStep::NotRom) outcome = NotRom;
        return false;
    }
    const PendingUpdate& interrupted = update.interrupted();
    if (interrupted.found() && options.dryRun)
        reportStep(file, "holds " + interruptedUpdateText(interrupted.contents) + ", which would be finished first");
    else if (interrupted.found())
        reportStep(file, interruptedUpdateText(interrupted.contents) + " was finished");
    return true;
}

// The order to convert the file from: --from, else the order of the bytes read under the
// lock (for a dry run that finds an interrupted conversion, the order it would end in).
ByteOrder sourceOrder(const RomUpdate& update, const Options& options) {
    if (options.source != ByteOrder::None) return options.source;
    const PendingUpdate& interrupted = update.interrupted();
    if (options.dryRun && interrupted.found() && interrupted.contents.conversion) return interrupted.contents.to;
    return update.order();
}

// Writes the backup when asked, converts the file from source to the target and writes it
// back in place. Every failure is reported; the ROM is closed in every case.
Outcome rewriteFile(RomUpdate& update, const std::string& file, ByteOrder source, const Options& options,
                    JsonObject& fields) {
    FileError error;
    if (options.backup) {
        if (!update.backUp(error)) {
            reportFileError(file, error, std::string());
            return Failed;
        }
        reportStep(file, "backup written to " + update.backupName());
        putPath(fields, "backup", update.backupName());
    }
    const std::string backup = update.backedUp() ? update.backupName() : std::string();
    if (!update.convert(source, options.target, error) || !update.close(error)) {
        reportFileError(file, error, backup);
        return Failed;
    }
    reportStep(file, std::string(orderName(source)) + " -> " + orderName(options.target));
    return Converted;
}

// What a dry run says of a file it would convert: "little -> big, backup, rename to X".
std::string plannedSteps(ByteOrder source, const Options& options, const std::string& newName) {
    std::string text = std::string(orderName(source)) + " -> " + orderName(options.target);
    if (options.backup) text += ", backup";
    if (!newName.empty()) text += ", rename to " + newName;
    return text;
}

// Gives a converted file the extension of its new order; reports a refusal. A new name that
// is already another link to the file is left as it is: the file keeps both.
bool renameConverted(const std::string& file, const RenamePlan& plan, const Options& options, JsonObject& fields) {
    if (plan.need == RenameNeed::AlreadyLinked) {
        reportStep(file, "already also named " + plan.newPath + ", both names kept");
        return true;
    }
    const ExtensionResult renamed = correctExtension(file, nameOf(file), options.target, options.names);
    if (!renamed.renamed) {
        reportError(file, "converted, but cannot rename to " + plan.newPath, renamed.reason);
        return false;
    }
    if (renamed.path != file) {
        reportStep(file, "renamed to " + renamed.path);
        putPath(fields, "renamed_to", renamed.path);
    }
    return true;
}

// Refuses, before anything is written, what could only end badly: a rename that would fail
// (the file would be left under a name that belies its order) and a backup that would take
// the place of another file of the call. True when the file may be converted.
bool checkBeforeWriting(const std::string& file, const Options& options, const RenamePlan& plan,
                        const CallFiles& files) {
    if (options.rename && plan.need == RenameNeed::Blocked) {
        reportError(file, "cannot rename to " + plan.newPath, plan.reason + "; nothing converted");
        return false;
    }
    if (options.backup && backupReplacesAFileOfTheCall(file, files)) {
        reportError(file, "cannot write the backup " + backupPath(file),
                    "that is another file named in this call, which the backup would replace; nothing converted");
        return false;
    }
    return true;
}

// Converts one file as options ask, reporting each step; a dry run opens the file as the
// real run would, checks what it can, and stops before the first write. Returns how it ended.
Outcome convertFile(const std::string& file, const Options& options, const CallFiles& files) {
    RomUpdate update;
    Outcome outcome = Failed;
    if (!openForUpdate(update, file, options, outcome)) return outcome;
    const ByteOrder source = sourceOrder(update, options);
    if (source == ByteOrder::None) {
        reportError(file, "skipped", "byte order not recognised (give --from ORDER to convert it anyway)");
        return NotRom;
    }
    if (source == options.target) {
        reportOutcome(file, std::string("already ") + orderName(source) + ", left untouched",
                      convertFields("already_in_order", source, options));
        return AlreadyInOrder;
    }
    if (!update.changes(source, options.target)) {
        const std::size_t group = conversionGroup(source, options.target);
        reportOutcome(file, "nothing to convert (shorter than one " + std::to_string(group) + "-byte group)",
                      convertFields("nothing_to_convert", source, options));
        return AlreadyInOrder;
    }
    const RenamePlan plan = planRename(file, options.target, options.names);
    if (!checkBeforeWriting(file, options, plan, files)) return Failed;
    if (options.dryRun) {
        FileError error;
        if (!update.checkWrite(options.backup, error)) return reportFileError(file, error, std::string()), Failed;
        const bool renaming = options.rename && plan.need == RenameNeed::Needed;
        JsonObject fields = convertFields("would_convert", source, options);
        if (options.backup) putPath(fields, "backup", backupPath(file));
        if (renaming) putPath(fields, "renamed_to", plan.newPath);
        reportOutcome(file, plannedSteps(source, options, renaming ? plan.newPath : std::string()), fields);
        return Converted;
    }
    // The steps are told as they happen; the JSON object once the file is done.
    JsonObject fields = convertFields("converted", source, options);
    outcome = rewriteFile(update, file, source, options, fields);
    if (outcome == Converted && options.rename && !renameConverted(file, plan, options, fields)) outcome = Failed;
    if (outcome != Failed && jsonOutput()) addFileObject(file, fields);
    return outcome;
}

// Converts every file of the arguments and sums up. A file named on the command line that is
// not recognised fails the call; one that a folder walk left out does not. A stop signal
// ends the call after the file being written.
int runConvert(const Options& options) {
    if (options.quiet) silenceSteps();
    holdOffStopSignals();
    const FileList list = listFiles(options.files);
    const CallFiles files = identitiesOf(list.files);
    Summary summary({options.dryRun ? "to convert" : "converted", std::string("already ") + orderName(options.target),
                     "skipped (not ROMs)", "failed"});
    return goThroughFiles(list, summary, NotRom, Failed, {Failed, NotRom},
                          [&](const std::string& file) { return convertFile(file, options, files); },
                          [](std::size_t outcome) {
                              return outcome == Converted ? "converted and whole"
                                     : outcome == Failed  ? "failed, as told above"
                                                          : "left untouched";
                          });
}

// The list of the SETs of --rename, with the extensions the core gives big, little and v64.
std::string renameSetsHelp() {
    const auto extensions = [](ExtensionSet set) {
        return std::string(orderExtension(ByteOrder::BigEndian, set)) + " " +
               orderExtension(ByteOrder::LittleEndian, set) + " " + orderExtension(ByteOrder::DoctorV64, set);
    };
    return "\nSET is one of:\n"
           "  window             " + extensions(ExtensionSet::Window) + ", as the window names files\n"
           "  common             " + extensions(ExtensionSet::Common) + ", as emulators, DATs and patch do\n";
}

// The SET of extensions word names for --rename; false when it names none.
bool parseRenameSet(const std::string& word, ExtensionSet& set) {
    if (word != "window" && word != "common") return false;
    set = word == "common" ? ExtensionSet::Common : ExtensionSet::Window;
    return true;
}

// Adds --rename, which takes its SET only as --rename=SET: a FILE after a bare --rename is
// never taken for a set.
void addRenameOption(CLI::App& parser, Options& options) {
    const auto knownSet = [](const std::string& word) {
        ExtensionSet ignored;
        return parseRenameSet(word, ignored) ? std::string() : "unknown SET '" + word + "' (use window or common)";
    };
    parser
        .add_flag("--rename{window}", options.namesWord,
                  "then rename each converted FILE to the extension of ORDER\n"
                  "in SET (window when not given); an existing file of that\n"
                  "name is never replaced, and then FILE is not converted")
        ->check(knownSet)
        ->type_name("[=SET]")
        ->each([&options](const std::string& word) { options.rename = parseRenameSet(word, options.names); });
}

// Adds the options of convert, in the order the help lists them.
void addConvertOptions(CLI::App& parser, Options& options) {
    addOrderOption(parser, "--to", options.target, "the byte order to write (required)")->required();
    addOrderOption(parser, "--from", options.source,
                   "take every FILE to be in ORDER instead of recognising its\n"
                   "order; without it, a named FILE of unrecognised order is\n"
                   "skipped");
    parser.add_flag("--backup", options.backup,
                    "first save each FILE's old content as FILE.bak, replacing\n"
                    "an older FILE.bak");
    addRenameOption(parser, options);
    addHardLinksOption(parser, options.hardLinks);
    parser.add_flag("-n,--dry-run", options.dryRun,
                    "say what would be done to each FILE and check what the\n"
                    "real run would meet, writing nothing: the file opened for\n"
                    "update and locked, the file size limit, the room on the\n"
                    "disk, the folder for the recovery record, the name for\n"
                    "--rename");
    parser.add_flag("-q,--quiet", options.quiet, "print only failures and the closing summary");
    addJsonOption(parser);
    addFileArguments(parser, options.files);
}

} // namespace

Command addConvertCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "convert",
                                        "rewrite each FILE in place in the byte order given by\n"
                                        "--to; a file already in that order is left untouched");
    auto options = std::make_shared<Options>();
    addConvertOptions(*parser, *options);
    parser->footer(orderNamesHelp() + renameSetsHelp() +
                   "\nAfter more than one file a summary line follows, e.g.\n"
                   "  12 converted, 3 already big, 2 skipped (not ROMs), 1 failed\n");
    return {parser, [options] { return runConvert(*options); }};
}
