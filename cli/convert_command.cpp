#include "cli/convert_command.h"

#include <CLI/CLI.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "actions/convert_rom.h"
#include "archive/archive.h"
#include "cli/convert_in_archive.h"
#include "cli/file_list.h"
#include "cli/json_output.h"
#include "cli/order_names.h"
#include "cli/order_option.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/stop_signals.h"
#include "cli/summary.h"
#include "cli/usage.h"
#include "core/conversion.h"

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
    bool torrentZip = false;            // --torrentzip: zips written anew in TorrentZip's form
    bool hardLinks = false;             // --hard-links: write a file with several names too
    FileArguments files;                // FILE... and -r
};

// How one file ended, in the order of the summary.
enum Outcome : std::size_t {
    Converted,      // converted (or, in a dry run, would be)
    AlreadyInOrder, // already in the target order, left untouched
    NotRom,         // not recognised as a ROM, left untouched
    Failed          // something went wrong; reported
};

// The start of a file's JSON object: how it ended (under "result", the name "outcome" had
// before every command took it), the orders, no backup and no new name yet.
JsonObject convertFields(const char* result, ByteOrder source, const Options& options) {
    return {{"result", result},  {"from", orderName(source)}, {"to", orderName(options.target)},
            {"backup", nullptr}, {"renamed_to", nullptr}};
}

// Tells the interrupted update the open found beside the file: finished, or in a dry run to
// be finished first; one the file could not be opened to finish, as the readers tell it.
void reportInterrupted(const std::string& file, const ConvertReport& report, bool dryRun) {
    if (!report.interrupted.found()) return;
    if (report.error.step == FileStep::Open) reportPending(file, report.interrupted);
    else if (dryRun)
        reportStep(file, "holds " + interruptedUpdateText(report.interrupted.contents) + ", which would be finished first");
    else reportStep(file, interruptedUpdateText(report.interrupted.contents) + " was finished");
}

// What a dry run says of a file it would convert: "little -> big, backup, rename to X".
std::string plannedSteps(const ConvertReport& report, const Options& options) {
    std::string text = std::string(orderName(report.source)) + " -> " + orderName(options.target);
    if (!report.backup.empty()) text += ", backup";
    if (!report.renamedTo.empty()) text += ", rename to " + report.renamedTo;
    return text;
}

// Tells the steps of a conversion that wrote, and its object once the file is done.
Outcome reportConversion(const std::string& file, const ConvertReport& report, const Options& options) {
    const char* outcome = options.dryRun ? "would_convert" : "converted";
    JsonObject fields = convertFields(outcome, report.source, options);
    if (!report.backup.empty()) putPath(fields, "backup", report.backup);
    if (!report.renamedTo.empty()) putPath(fields, "renamed_to", report.renamedTo);
    if (options.dryRun) return reportOutcome(file, plannedSteps(report, options), outcome, fields), Converted;
    if (!report.backup.empty()) reportStep(file, "backup written to " + report.backup);
    if (!report.converted) return reportFileError(file, report.error, report.backup), Failed;
    reportStep(file, std::string(orderName(report.source)) + " -> " + orderName(options.target));
    if (!report.alreadyAlso.empty()) reportStep(file, "already also named " + report.alreadyAlso + ", both names kept");
    if (report.outcome == ConvertOutcome::Failed)
        return reportError(file, "converted, but cannot rename to " + report.error.path, report.error.reason), Failed;
    if (!report.renamedTo.empty()) reportStep(file, "renamed to " + report.renamedTo);
    if (jsonOutput()) addFileObject(file, outcome, fields);
    return Converted;
}

// Converts the ROMs of an archive into a new archive of its name; false for any other file.
// --from, which names the order of whole files, leaves an archive a walk found out quietly
// and has a named one refused as no ROM.
bool convertArchived(const std::string& file, bool named, const Options& options, Outcomes& outcomes) {
    if (options.source != ByteOrder::None) {
        if (named || !isArchiveFile(file)) return false;
        ++outcomes.notRoms;
        return true;
    }
    ArchiveConvertRequest request;
    request.target = options.target;
    request.backup = options.backup;
    request.rename = options.rename;
    request.names = options.names;
    request.dryRun = options.dryRun;
    request.torrentZip = options.torrentZip;
    return convertInArchive(file, named, request, {Converted, AlreadyInOrder, Failed}, outcomes);
}

// Converts one file as options ask, reporting each step; a dry run opens the file as the
// real run would, checks what it can, and stops before the first write. Returns how it ended.
Outcomes convertFile(const std::string& file, bool named, const Options& options, const CallFiles& files) {
    Outcomes entries;
    if (convertArchived(file, named, options, entries)) return entries;
    ConvertRequest request;
    request.path = file;
    request.target = options.target;
    request.source = options.source;
    request.backup = options.backup;
    request.rename = options.rename;
    request.names = options.names;
    request.dryRun = options.dryRun;
    request.severalNames = options.hardLinks;
    request.callFiles = &files;
    ConvertQuestions questions;
    questions.progress = progressWithinFile;
    const ConvertReport report = convertRom(request, questions);
    reportInterrupted(file, report, options.dryRun);
    switch (report.outcome) {
    case ConvertOutcome::Converted: return reportConversion(file, report, options);
    case ConvertOutcome::AlreadyInOrder:
        reportOutcome(file, std::string("already ") + orderName(report.source) + ", left untouched",
                      "already_in_order", convertFields("already_in_order", report.source, options));
        return AlreadyInOrder;
    case ConvertOutcome::NothingToConvert:
        reportOutcome(file, "nothing to convert (shorter than one " +
                                std::to_string(conversionGroup(report.source, options.target)) + "-byte group)",
                      "nothing_to_convert", convertFields("nothing_to_convert", report.source, options));
        return AlreadyInOrder;
    case ConvertOutcome::Unrecognised:
        reportError(file, "skipped", "byte order not recognised (give --from ORDER to convert it anyway)");
        return NotRom;
    case ConvertOutcome::NotRom: reportFileError(file, report.error, std::string()); return NotRom;
    case ConvertOutcome::OrderChanged: // only asked for by the window
    case ConvertOutcome::Failed: break;
    }
    if (report.converted || !report.backup.empty()) return reportConversion(file, report, options);
    if (!(report.error.step == FileStep::Open && report.interrupted.found()))
        reportFileError(file, report.error, std::string());
    return Failed;
}

// Converts every file of the arguments and sums up. A file named on the command line that is
// not recognised fails the call; one that a folder walk left out does not. A stop signal
// ends the call after the file being written.
int runConvert(const Options& options) {
    holdOffStopSignals();
    const FileList list = listFiles(options.files);
    const CallFiles files = identitiesOf(list.files);
    Summary summary({options.dryRun ? "to convert" : "converted", std::string("already ") + orderName(options.target),
                     "skipped (not ROMs)", "failed"});
    return goThroughFiles(list, summary, NotRom, Failed, {Failed, NotRom},
                          [&](const std::string& file) { return convertFile(file, list.named(file), options, files); },
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
    addTorrentZipOption(parser, options.torrentZip);
    addDryRunOption(parser, options.dryRun,
                    "say what would be done to each FILE and check what the\n"
                    "real run would meet, writing nothing: the file opened for\n"
                    "update and locked, the file size limit, the room on the\n"
                    "disk, the folder for the recovery record, the name for\n"
                    "--rename");
    addOutputOptions(parser);
    addProgressOptions(parser);
    addFileArguments(parser, options.files, true);
}

} // namespace

Command addConvertCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "convert",
                                        "rewrite each FILE in place in the byte order given by\n"
                                        "--to; a file already in that order is left untouched;\n"
                                        "the ROMs of an archive (zip, 7z, gzip) go into a new\n"
                                        "archive that takes the old one's name");
    auto options = std::make_shared<Options>();
    addConvertOptions(*parser, *options);
    parser->footer(orderNamesHelp() + renameSetsHelp() +
                   "\nAfter more than one file a summary line follows, e.g.\n"
                   "  12 converted, 3 already big, 2 skipped (not ROMs), 1 failed\n");
    return {parser, [options] { return runConvert(*options); }};
}
