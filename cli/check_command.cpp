#include "cli/check_command.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "cli/chip_option.h"
#include "cli/dat_option.h"
#include "cli/identity_texts.h"
#include "cli/interrupted_update.h"
#include "cli/report.h"
#include "identity/rom_identity.h"

// A DAT that cannot be read fails the call before any file: every verdict would lack it.
int runCheck(const CheckOptions& options) {
    const std::string datPath = findDat(options.dat);
    Dat dat;
    if (!datPath.empty() && !loadDat(datPath, dat)) return kExitFailure;
    const FileList list = listFiles(options.files);
    IdentifyOptions identifyOptions;
    identifyOptions.digests[0] = DigestSet(); // without a DAT only the checked range is read
    identifyOptions.forcedChip = options.chip;
    askForDatDigests(dat, identifyOptions);

    bool allOk = list.failures == 0;
    for (const std::string& file : list.files) {
        RomIdentity identity;
        std::string reason = interruptedProblem(file);
        if (!reason.empty()) {
            reportProblem(file, reason);
            allOk = false;
            continue;
        }
        if (!identifyRom(file, identifyOptions, identity, reason)) {
            reportError(file, "cannot read", reason);
            allOk = false;
            continue;
        }
        std::string line = checkLine(identity);
        if (identity.check.verdict != CheckVerdict::Ok) allOk = false;
        if (!datPath.empty()) {
            const DatMatch match = dat.find(identity.digests, identity.order, identity.size);
            line += "; " + datVerdictText(match);
            if (!goodInDat(match)) allOk = false;
        }
        reportStep(file, line);
    }
    return allOk ? kExitSuccess : kExitFailure;
}

Command addCheckCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "check",
                                        "tell whether the check code in each FILE's header holds,\n"
                                        "computed for the boot chip recognised from its boot code");
    auto options = std::make_shared<CheckOptions>();
    addChipOption(*parser, options->chip);
    addDatOption(*parser, options->dat);
    addFileArguments(*parser, options->files);
    parser->footer("Each FILE gets one line: \"FILE: ok (CIC ...)\", \"FILE: mismatch: header ...,\n"
                   "computed ...\" or \"FILE: not verified: REASON\". A ROM shorter than 1052672\n"
                   "bytes is checked as if padded with zero bytes to that size, as homebrew ROMs\n"
                   "carry their codes. With a DAT the line goes on with \"; in the DAT as \"NAME\"\n"
                   "(verified)\", \"; in the DAT as \"NAME\", a bad dump\" or \"; not in the DAT\".\n"
                   "The exit status is 0 only when every FILE is ok (and in the DAT, not as a bad\n"
                   "dump).\n");
    return {parser, [options] { return runCheck(*options); }};
}
