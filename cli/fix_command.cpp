#include "cli/fix_command.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "cli/chip_option.h"
#include "cli/file_list.h"
#include "cli/identity_texts.h"
#include "cli/interrupted_update.h"
#include "cli/report.h"
#include "cli/summary.h"
#include "identity/check_code_fix.h"

namespace {

// What the fix command was asked to do.
struct Options {
    BootChip chip = BootChip::Unknown; // --cic CHIP: compute the codes for this chip
    bool backup = false;               // --backup: write FILE.bak first
    bool quiet = false;                // --quiet: print only failures and the summary
    FileArguments files;               // FILE... and -r
};

// How one file ended, in the order of the summary.
enum Outcome : std::size_t { Fixed, AlreadyRight, NotRom, Failed };

// Fixes one file and says what was done: the codes before and after, or why nothing was.
Outcome fixFile(const std::string& file, const Options& options) {
    const FixResult result = fixCheckCode(file, options.chip, options.backup);
    if (result.finished.found)
        reportStep(file, "an interrupted update (" + interruptedUpdateText(result.finished) + ") was brought to its end first");
    if (!result.backup.empty()) reportStep(file, "backup written to " + result.backup);
    const CheckResult& check = result.identity.check;
    switch (result.outcome) {
    case FixOutcome::Fixed:
        reportStep(file, "check codes " + codeText(check.header) + " -> " + codeText(check.computed));
        return Fixed;
    case FixOutcome::AlreadyRight:
        reportStep(file, "check codes " + codeText(check.header) + " already right, left untouched");
        return AlreadyRight;
    case FixOutcome::NotComputed:
        reportError(file, "not fixed", notVerifiedText(result.identity));
        return Failed;
    case FixOutcome::Failed: break;
    }
    reportFileError(file, result.error, result.backup);
    return Failed;
}

// Fixes every file of the arguments and sums up.
int runFix(const Options& options) {
    if (options.quiet) silenceSteps();
    const FileList list = listFiles(options.files);
    Summary summary({"fixed", "already right", "skipped (not ROMs)", "failed"});
    return goThroughFiles(list, summary, NotRom, Failed, {Failed},
                          [&options](const std::string& file) { return fixFile(file, options); });
}

} // namespace

Command addFixCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "fix",
                                        "write into each FILE's header the check codes its boot\n"
                                        "code computes, where they differ; only those 8 bytes change");
    auto options = std::make_shared<Options>();
    parser->add_flag("--backup", options->backup,
                     "first save each FILE that is to change as FILE.bak,\n"
                     "replacing an older FILE.bak");
    parser->add_flag("-q,--quiet", options->quiet, "print only failures and the closing summary");
    addChipOption(*parser, options->chip);
    addFileArguments(*parser, options->files);
    parser->footer("Each FILE gets one line: \"FILE: check codes OLD -> NEW\", or \"already right, left\n"
                   "untouched\". A FILE whose boot code is not recognised is refused unless --cic\n"
                   "names its chip. The codes are written in the FILE's own byte order, durably,\n"
                   "so that an interruption leaves the old codes or the new ones. After more than\n"
                   "one file a summary line follows. The exit status is 0 only when every FILE was\n"
                   "fixed or already right.\n");
    return {parser, [options] { return runFix(*options); }};
}
