#include "cli/check_command.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "cli/chip_option.h"
#include "cli/identity_texts.h"
#include "cli/report.h"
#include "identity/rom_identity.h"

int runCheck(const CheckOptions& options) {
    const FileList list = listFiles(options.files);
    IdentifyOptions identifyOptions;
    identifyOptions.digests[0] = DigestSet(); // only the checked range is read
    identifyOptions.forcedChip = options.chip;

    bool allOk = list.failures == 0;
    for (const std::string& file : list.files) {
        RomIdentity identity;
        std::string reason;
        if (!identifyRom(file, identifyOptions, identity, reason)) {
            reportError(file, "cannot read", reason);
            allOk = false;
            continue;
        }
        reportStep(file, checkLine(identity));
        if (identity.check.verdict != CheckVerdict::Ok) allOk = false;
    }
    return allOk ? kExitSuccess : kExitFailure;
}

Command addCheckCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "check",
                                        "tell whether the check code in each FILE's header holds,\n"
                                        "computed for the boot chip recognised from its boot code");
    auto options = std::make_shared<CheckOptions>();
    addChipOption(*parser, options->chip);
    addFileArguments(*parser, options->files);
    parser->footer("Each FILE gets one line: \"FILE: ok (CIC ...)\", \"FILE: mismatch: header ...,\n"
                   "computed ...\" or \"FILE: not verified: REASON\". A ROM shorter than 1052672\n"
                   "bytes is checked as if padded with zero bytes to that size, as homebrew ROMs\n"
                   "carry their codes. The exit status is 0 only when every FILE is ok.\n");
    return {parser, [options] { return runCheck(*options); }};
}
