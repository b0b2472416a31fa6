#include "cli/patch_command.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string>

#include "cli/file_list.h"
#include "cli/identity_texts.h"
#include "cli/info_report.h"
#include "cli/json_output.h"
#include "cli/order_names.h"
#include "cli/order_option.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/standard_streams.h"
#include "cli/stop_signals.h"
#include "cli/usage.h"
#include "core/byte_order.h"
#include "actions/apply_patch.h"
#include "actions/archived_input.h"

namespace {

// What the patch command was asked to do.
struct Options {
    std::string rom;
    std::string patch;
    std::string output;                     // -o; empty: the patch's name beside the ROM
    ByteOrder target = ByteOrder::None;     // --to; None: the ROM's own order
    ByteOrder patchOrder = ByteOrder::None; // --patch-order; None: found or big-endian
    bool dryRun = false;                    // --dry-run: do all but write the new file
};

// An order in the words of the patch line: "big-endian", "little-endian", "v64".
std::string orderWords(ByteOrder order) {
    switch (order) {
    case ByteOrder::BigEndian: return "big-endian";
    case ByteOrder::LittleEndian: return "little-endian";
    case ByteOrder::DoctorV64: return "v64";
    case ByteOrder::None: break;
    }
    return "unknown";
}

// How the patch's order was known, e.g. "BPS made for big-endian".
std::string basisText(const PatchReport& report) {
    const std::string format = patchFormatName(report.format);
    switch (report.basis) {
    case OrderBasis::Checked: return format + " made for " + orderWords(report.patchOrder);
    case OrderBasis::Given: return format + " made for " + orderWords(report.patchOrder) + ", as --patch-order says";
    case OrderBasis::Stated: return format + " made for " + orderWords(report.patchOrder) + ", as its header says";
    case OrderBasis::Assumed: break;
    }
    return format + " with no check of its own, taken as made for " + orderWords(report.patchOrder);
}

// What the new file's check codes say, e.g. "check codes ok".
std::string checkText(const RomIdentity& result) {
    switch (result.check.verdict) {
    case CheckVerdict::Ok: return "check codes ok";
    case CheckVerdict::Mismatch:
        return "check codes do not hold: header " + codeText(result.check.header) + ", computed " +
               codeText(result.check.computed);
    case CheckVerdict::NotVerified: break;
    }
    return "check codes not verified: " + notVerifiedText(result);
}

// The name of how the patch's order was known, for the JSON.
const char* basisName(OrderBasis basis) {
    switch (basis) {
    case OrderBasis::Checked: return "checked";
    case OrderBasis::Given: return "given";
    case OrderBasis::Stated: return "stated";
    case OrderBasis::Assumed: break;
    }
    return "assumed";
}

// The name of file, or of its entry when one was read from it as an archive: ARCHIVE/ENTRY.
std::string inArchive(const std::string& file, const std::string& entry) {
    return entry.empty() ? file : file + "/" + entry;
}

// The object of a patched ROM: the patch, the new file, the orders, the check of its codes.
JsonObject patchFields(const PatchRequest& job, const PatchReport& report, bool warned) {
    JsonObject fields;
    putPath(fields, "patch", job.patch);
    if (!report.patchEntry.empty()) putPath(fields, "patch_entry", report.patchEntry);
    putPath(fields, "output", job.output);
    fields["format"] = patchFormatName(report.format);
    fields["patch_order"] = orderName(report.patchOrder);
    fields["patch_order_basis"] = basisName(report.basis);
    fields["output_order"] = orderName(report.outputOrder);
    fields["check"] = checkJson(report.result);
    fields["warning"] = warned ? JsonObject("check codes do not hold") : JsonObject(nullptr);
    return fields;
}

// Reports a patch the library refused: about the ROM when it is the wrong one, else about
// the patch.
void reportRefusal(const Options& options, const PatchError& error) {
    switch (error.refusal) {
    case PatchRefusal::OtherRom:
        if (error.crcKnown) {
            reportProblem(options.rom, "this patch is for another ROM (it wants CRC-32 " + hex32(error.wantedCrc) +
                                           "; this ROM has " + hex32(error.romCrc) + " as big-endian)");
            return;
        }
        reportProblem(options.rom, error.reason);
        return;
    case PatchRefusal::AlreadyApplied: reportProblem(options.rom, error.reason); return;
    case PatchRefusal::NotAPatch: reportProblem(options.patch, error.reason); return;
    default: break;
    }
    reportError(options.patch, "cannot apply", error.reason);
}

// Reports why nothing was written.
void reportFailure(const Options& options, const PatchRequest& job, const PatchReport& report) {
    switch (report.failed) {
    case PatchStep::OutputTaken:
        reportProblem(job.output, "already exists; nothing written (name the new file with -o)");
        break;
    case PatchStep::Interrupted: reportIfInterrupted(options.rom); break;
    case PatchStep::ReadRom: reportError(options.rom, "cannot read", report.error.reason); break;
    case PatchStep::NotRom: reportProblem(options.rom, notARomText(report.romKind) + "; nothing written"); break;
    case PatchStep::RomOrder:
        reportProblem(options.rom, "byte order not recognised (not an N64 ROM?); nothing written");
        break;
    case PatchStep::ReadPatch: reportError(options.patch, "cannot read", report.error.reason); break;
    case PatchStep::Apply: reportRefusal(options, report.patchError); break;
    case PatchStep::Write:
        reportError(job.output, "cannot write", report.error.reason + (options.dryRun ? "" : "; nothing written"));
        break;
    case PatchStep::None: break;
    }
}

// Patches the ROM into the new file and tells it in one line; a patch with no check of its
// own whose result's check codes fail also gets a warning. With -o - the new file goes to
// standard output and the line is not printed.
int patchAndTell(const Options& options) {
    PatchRequest job{options.rom, options.patch, options.output, options.target, options.patchOrder};
    job.dryRun = options.dryRun;
    if (job.output == kStandardStreamName) job.stream = writeToStandardOutput;
    if (job.output.empty()) {
        const ByteOrder order = options.target != ByteOrder::None ? options.target : romOrderOf(options.rom);
        job.output = patchedPathBeside(options.rom, options.patch, orderExtension(order, ExtensionSet::Common));
    }
    PatchReport report;
    if (!patchRomFile(job, report)) {
        reportFailure(options, job, report);
        return kExitFailure;
    }
    const bool warned = report.basis != OrderBasis::Checked && report.result.check.verdict == CheckVerdict::Mismatch;
    const std::string rom = inArchive(options.rom, report.romEntry);
    if (jsonOutput()) {
        std::optional<JsonEntryScope> scope;
        if (!report.romEntry.empty()) scope.emplace(options.rom, report.romEntry);
        addFileObject(rom, options.dryRun ? "would_patch" : "patched", patchFields(job, report, warned));
    }
    if (!job.stream)
        reportLine(rom + " + " + inArchive(options.patch, report.patchEntry) + " -> " + job.output + (options.dryRun ? " would be written" : "") +
                   " (" + basisText(report) + "; " + checkText(report.result) + ")");
    if (warned)
        reportWarning(job.output, "its check codes do not hold",
                      "the patch may be for another byte order (give --patch-order ORDER) or another ROM");
    return kExitSuccess;
}

} // namespace

Command addPatchCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "patch",
                                        "apply a BPS, UPS, IPS, xdelta or APS PATCH to ROM,\n"
                                        "whatever the ROM's byte order, writing the result to a new\n"
                                        "file");
    auto options = std::make_shared<Options>();
    addOrderOption(*parser, "--to", options->target, "the byte order of the new file (default: the ROM's)");
    addOrderOption(*parser, "--patch-order", options->patchOrder,
                   "the order the patch was made for, for patches that carry\n"
                   "no check (IPS, xdelta without checksums); default big");
    addOutputOptions(*parser);
    addProgressOptions(*parser);
    addDryRunOption(*parser, options->dryRun,
                    "apply the patch and check that the new file's folder\n"
                    "takes it; write nothing");
    parser->add_option("-o,--output", options->output,
                       "the new file (default: the patch's name with the\n"
                       "extension of its order, .z64 .v64 or .n64, beside ROM);\n"
                       "- writes it to standard output")
        ->type_name("OUT");
    parser->add_option("ROM", options->rom, "the ROM to patch; it is only read")->required()->type_name("");
    parser->add_option("PATCH", options->patch, "the patch")->required()->type_name("");
    parser->footer("ORDER is big (or z64), little (or n64) or v64.\n"
                   "\nBPS and UPS patches find the order they were made for from the CRC-32 of their\n"
                   "source, xdelta patches from their checksums, APS patches from their header; IPS\n"
                   "patches carry no check and are applied as big-endian unless --patch-order says\n"
                   "otherwise. An existing file is never replaced. Exit status: 0 when the new file\n"
                   "was written, 1 when it was not.\n"
                   "Example:\n"
                   "  dornavel-cli patch game.v64 hack.bps\n"
                   "  game.v64 + hack.bps -> hack.v64 (BPS made for big-endian; check codes ok)\n");
    return {parser, [options, parser] {
                if (!outputToStreamAllowed(*parser, options->output)) return kExitUsage;
                return runHoldingOffStopSignals(
                    [options] { return withProgressOver(options->rom, [options] { return patchAndTell(*options); }); },
                    "the patch was done");
            }};
}
