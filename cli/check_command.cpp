#include "cli/check_command.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "cli/chip_option.h"
#include "cli/dat_option.h"
#include "cli/identity_texts.h"
#include "cli/info_report.h"
#include "cli/json_output.h"
#include "cli/order_names.h"
#include "cli/report.h"
#include "identity/rom_identity.h"

namespace {

// The object check gives for a file: its order, the header's code, how the check went and,
// with a DAT, the DAT's entry (as info gives it).
JsonObject checkFields(const RomIdentity& identity, const DatAnswer& dat) {
    JsonObject fields = {
        {"order", orderName(identity.order)},
        {"header_crc", identity.hasHeader ? JsonObject(codeText({identity.header.crc1, identity.header.crc2}))
                                          : JsonObject(nullptr)},
    };
    const JsonObject check = checkJson(identity);
    for (const auto& field : check.items()) fields[field.key()] = field.value();
    fields["dat"] = datJson(identity, dat);
    return fields;
}

} // namespace

// A DAT that cannot be read fails the call before any file: every verdict would lack it.
int runCheck(const CheckOptions& options) {
    Dat dat;
    const DatAnswer datAnswer{findDat(options.dat), &dat, DatMatch()};
    if (!datAnswer.path.empty() && !loadDat(datAnswer.path, dat)) return kExitFailure;
    const FileList list = listFiles(options.files);
    IdentifyOptions identifyOptions;
    identifyOptions.digests[0] = DigestSet(); // without a DAT only the checked range is read
    identifyOptions.forcedChip = options.chip;
    askForDatDigests(dat, identifyOptions);

    bool allOk = list.failures == 0;
    for (const std::string& file : list.files) {
        if (reportIfInterrupted(file) || reportIfNotRom(file, std::string())) {
            allOk = false;
            continue;
        }
        RomIdentity identity;
        std::string reason;
        if (!identifyRom(file, identifyOptions, identity, reason)) {
            reportError(file, "cannot read", reason);
            allOk = false;
            continue;
        }
        DatAnswer found = datAnswer;
        std::string line = checkLine(identity);
        if (!found.path.empty()) {
            found.match = dat.find(identity.digests, identity.order, identity.size);
            line += "; " + datVerdictText(found.match);
            if (!goodInDat(found.match)) allOk = false;
        }
        reportOutcome(file, line, checkFields(identity, found));
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
    addDatOption(*parser, options->dat);
    addJsonOption(*parser);
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
