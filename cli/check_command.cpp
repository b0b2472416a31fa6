#include "cli/check_command.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "cli/archive_entries.h"
#include "cli/chip_option.h"
#include "cli/collection_tally.h"
#include "cli/dat_option.h"
#include "cli/identity_texts.h"
#include "cli/info_report.h"
#include "cli/json_output.h"
#include "cli/order_names.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/summary.h"
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

// How one file ended, in the order of the summary.
enum Outcome : std::size_t {
    Ok,          // its check codes hold (and the DAT, when given, lists it as good)
    Mismatch,    // its check codes do not hold
    NotVerified, // they could not be computed
    NotInDat,    // ok, but the DAT does not list it, or lists it as a bad dump
    NotRom,      // left out of a folder walk, or its first bytes say it is something else
    Failed       // could not be read, or holds an interrupted update; reported
};

// The outcome of a file that was read, by its check and, with a DAT, by its entry.
Outcome outcomeOf(const RomIdentity& identity, const DatAnswer& found) {
    switch (identity.check.verdict) {
    case CheckVerdict::Mismatch: return Mismatch;
    case CheckVerdict::NotVerified: return NotVerified;
    case CheckVerdict::Ok: break;
    }
    return !found.path.empty() && !goodInDat(found.match) ? NotInDat : Ok;
}

// The outcome's name in the JSON.
const char* outcomeName(Outcome outcome) {
    static const char* const names[] = {"ok", "mismatch", "not_verified", "not_in_dat"};
    return names[outcome];
}

// What check goes through: the DAT, and what to read of each file.
struct Checking {
    const Dat& dat;
    const DatAnswer& datAnswer;
    const IdentifyOptions& identifyOptions;
    CollectionTally* tally; // with --missing: what the files hold of the DAT's games
};

// Tells the check of a ROM that was read; one that is not all right keeps its line even
// with -q.
Outcome tellCheck(const std::string& file, const RomIdentity& identity, const Checking& checking) {
    DatAnswer found = checking.datAnswer;
    std::string line = checkLine(identity);
    if (!found.path.empty()) {
        found.match = checking.dat.find(identity.digests, identity.order, identity.size);
        if (checking.tally) checking.tally->count(identity, found.match);
        line += "; " + datVerdictText(found.match);
    }
    const Outcome outcome = outcomeOf(identity, found);
    reportOutcome(file, line, outcomeName(outcome), checkFields(identity, found),
                  outcome == Ok ? Shown::Step : Shown::EvenQuiet);
    return outcome;
}

// Checks one file, or each ROM inside an archive, and tells it.
Outcomes checkFile(const std::string& file, bool named, const Checking& checking) {
    return identifyEachRom(file, named, checking.identifyOptions, {NotRom, Failed},
                           [&](const std::string& name, const RomIdentity& identity) -> std::size_t {
                               return tellCheck(name, identity, checking);
                           });
}

} // namespace

// A DAT that cannot be read fails the call before any file: every verdict would lack it.
int runCheck(const CheckOptions& options) {
    Dat dat;
    const DatAnswer datAnswer{findDat(options.dat), &dat, DatMatch()};
    if (options.missing && datAnswer.path.empty()) {
        reportMessage("--missing needs a DAT: give --dat DAT, or set DORNAVEL_DAT");
        return kExitUsage;
    }
    if (!datAnswer.path.empty() && !loadDat(datAnswer.path, dat)) return kExitFailure;
    const FileList list = listFiles(options.files);
    IdentifyOptions identifyOptions;
    identifyOptions.digests[0] = DigestSet(); // without a DAT only the checked range is read
    identifyOptions.forcedChip = options.chip;
    askForDatDigests(dat, identifyOptions);
    CollectionTally tally(dat);
    const Checking checking{dat, datAnswer, identifyOptions, options.missing ? &tally : nullptr};
    Summary summary({"ok", "mismatch", "not verified", "not good in the DAT", "not ROMs", "failed"});
    const int status = goThroughFiles(list, summary, NotRom, Failed, {Mismatch, NotVerified, NotInDat, NotRom, Failed},
                                      [&](const std::string& file) { return checkFile(file, list.named(file), checking); },
                                      [](std::size_t) { return "only read"; });
    if (options.missing && status < 128) tally.report(); // not after a stop: the count would lie
    return status;
}

Command addCheckCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "check",
                                        "tell whether the check code in each FILE's header holds,\n"
                                        "computed for the boot chip recognised from its boot code");
    auto options = std::make_shared<CheckOptions>();
    addChipOption(*parser, options->chip);
    addDatOption(*parser, options->dat);
    parser->add_flag("--missing", options->missing,
                     "after the files, list the DAT's games none of them is,\n"
                     "then count what is present, missing and not listed");
    addOutputOptions(*parser);
    addProgressOptions(*parser);
    addFileArguments(*parser, options->files, true);
    parser->footer("Each FILE gets one line: \"FILE: ok (CIC ...)\", \"FILE: mismatch: header ...,\n"
                   "computed ...\" or \"FILE: not verified: REASON\". A ROM shorter than 1052672\n"
                   "bytes is checked as if padded with zero bytes to that size, as homebrew ROMs\n"
                   "carry their codes. With a DAT the line goes on with \"; in the DAT as \"NAME\"\n"
                   "(verified)\", \"; in the DAT as \"NAME\", a bad dump\" or \"; not in the DAT\".\n"
                   "The exit status is 0 only when every FILE is ok (and in the DAT, not as a bad\n"
                   "dump).\n");
    return {parser, [options] { return runCheck(*options); }};
}
