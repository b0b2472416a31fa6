#include "cli/convert_command.h"

#include <CLI/CLI.hpp>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/file_list.h"
#include "cli/order_names.h"
#include "cli/report.h"
#include "cli/summary.h"
#include "cli/usage.h"
#include "core/conversion.h"
#include "core/extension.h"
#include "core/rom_update.h"

namespace {

// What the convert command was asked to do.
struct Options {
    ByteOrder target = ByteOrder::None; // --to: the order to write
    ByteOrder source = ByteOrder::None; // --from: the order to assume; None: recognise it
    bool backup = false;                // --backup: write FILE.bak first
    bool rename = false;                // --rename: give the file the extension of its order
    bool dryRun = false;                // --dry-run: say what would be done, write nothing
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

// The name of the file at path without its folder.
std::string fileTitle(const std::string& path) {
    return std::filesystem::u8path(path).filename().u8string();
}

// The order to convert file from: --from when given, else its recognised order. Reports and
// returns None when the file cannot be read (refusal: Failed) or its order is not recognised
// (refusal: NotRom); nothing is then opened for update.
ByteOrder sourceOrder(const std::string& file, const Options& options, Outcome& refusal) {
    std::string reason;
    const ByteOrder detected = detectByteOrder(file, &reason);
    refusal = Failed;
    if (detected == ByteOrder::None && !reason.empty()) {
        reportError(file, "cannot read", reason);
        return ByteOrder::None;
    }
    if (options.source != ByteOrder::None) return options.source;
    if (detected == ByteOrder::None) {
        reportError(file, "skipped", "byte order not recognised (give --from ORDER to convert it anyway)");
        refusal = NotRom;
    }
    return detected;
}

// Reads file whole, writes its backup when asked, converts it from source to the target and
// writes it back in place. Every failure is reported; the ROM is closed in every case. A file
// too short to hold one group that the conversion moves is left alone (AlreadyInOrder: its
// bytes read the same in either order).
Outcome rewriteFile(const std::string& file, ByteOrder source, const Options& options) {
    RomUpdate update;
    FileError error;
    if (!update.open(file, error)) {
        reportFileError(file, error, std::string());
        return Failed;
    }
    if (!update.changes(source, options.target)) {
        const std::size_t group = conversionGroup(source, options.target);
        reportStep(file, "nothing to convert (shorter than one " + std::to_string(group) + "-byte group)");
        return AlreadyInOrder;
    }
    if (options.backup) {
        if (!update.backUp(error)) {
            reportFileError(file, error, std::string());
            return Failed;
        }
        reportStep(file, "backup written to " + update.backupName());
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
bool renameConverted(const std::string& file, const RenamePlan& plan, ByteOrder target) {
    if (plan.need == RenameNeed::AlreadyLinked) {
        reportStep(file, "already also named " + plan.newPath + ", both names kept");
        return true;
    }
    const ExtensionResult renamed = correctExtension(file, fileTitle(file), target);
    if (!renamed.renamed) {
        reportError(file, "converted, but cannot rename to " + plan.newPath, renamed.reason);
        return false;
    }
    if (renamed.path != file) reportStep(file, "renamed to " + renamed.path);
    return true;
}

// Converts one file as options ask, reporting each step; a dry run stops before the first
// write. Returns how it ended.
Outcome convertFile(const std::string& file, const Options& options) {
    Outcome refusal = Failed;
    const ByteOrder source = sourceOrder(file, options, refusal);
    if (source == ByteOrder::None) return refusal;
    if (source == options.target) {
        reportStep(file, std::string("already ") + orderName(source) + ", left untouched");
        return AlreadyInOrder;
    }

    // A rename that could only fail is refused before anything is written, so the file does
    // not end up converted under a name that belies its order.
    const RenamePlan plan = planRename(file, options.target);
    if (options.rename && plan.need == RenameNeed::Blocked) {
        reportError(file, "cannot rename to " + plan.newPath, plan.reason + "; nothing converted");
        return Failed;
    }
    if (options.dryRun) {
        const bool renaming = options.rename && plan.need == RenameNeed::Needed;
        reportStep(file, plannedSteps(source, options, renaming ? plan.newPath : std::string()));
        return Converted;
    }

    const Outcome rewrite = rewriteFile(file, source, options);
    if (rewrite != Converted || !options.rename) return rewrite;
    return renameConverted(file, plan, options.target) ? Converted : Failed;
}

// Converts every file of the arguments and sums up. A file named on the command line that is
// not recognised fails the call; one that a folder walk left out does not.
int runConvert(const Options& options) {
    if (options.quiet) silenceSteps();
    const FileList list = listFiles(options.files);
    Summary summary({options.dryRun ? "to convert" : "converted", std::string("already ") + orderName(options.target),
                     "skipped (not ROMs)", "failed"});
    return goThroughFiles(list, summary, NotRom, Failed, {Failed, NotRom},
                          [&options](const std::string& file) { return convertFile(file, options); });
}

// Adds an option that names a byte order; given twice, the last one counts.
CLI::Option* addOrderOption(CLI::App& parser, const std::string& name, ByteOrder& order,
                            const std::string& description) {
    const auto knownOrder = [](const std::string& text) {
        ByteOrder ignored;
        return parseOrderName(text, ignored) ? std::string()
                                             : "unknown ORDER '" + text + "' (use big, little or v64)";
    };
    return parser.add_option_function<std::string>(
                     name, [&order](const std::string& text) { parseOrderName(text, order); }, description)
        ->type_name("ORDER")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(knownOrder);
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
    parser.add_flag("--rename", options.rename,
                    "then rename each converted FILE to the extension of ORDER;\n"
                    "an existing file of that name is never replaced, and then\n"
                    "FILE is not converted at all");
    parser.add_flag("-n,--dry-run", options.dryRun,
                    "say what would be done to each FILE and check what can be\n"
                    "checked without writing: that it can be read, that the name\n"
                    "for --rename is free; write nothing");
    parser.add_flag("-q,--quiet", options.quiet, "print only failures and the closing summary");
    addFileArguments(parser, options.files);
}

} // namespace

Command addConvertCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "convert",
                                        "rewrite each FILE in place in the byte order given by\n"
                                        "--to; a file already in that order is left untouched");
    auto options = std::make_shared<Options>();
    addConvertOptions(*parser, *options);
    parser->footer(orderNamesHelp() + "\nAfter more than one file a summary line follows, e.g.\n"
                                      "  12 converted, 3 already big, 2 skipped (not ROMs), 1 failed\n");
    return {parser, [options] { return runConvert(*options); }};
}
