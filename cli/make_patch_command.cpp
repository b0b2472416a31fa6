#include "cli/make_patch_command.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include "actions/make_patch.h"
#include "cli/file_list.h"
#include "cli/json_output.h"
#include "cli/order_names.h"
#include "cli/order_option.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/standard_streams.h"
#include "cli/stop_signals.h"
#include "cli/usage.h"
#include "core/text.h"

namespace {

// The formats by the names --format takes.
const struct {
    const char* name;
    PatchFormat format;
} kFormatNames[] = {{"bps", PatchFormat::Bps}, {"ups", PatchFormat::Ups}, {"ips", PatchFormat::Ips},
                    {"xdelta", PatchFormat::Vcdiff}};

// The format named by text (in any letter case); false when none is.
bool parseFormatName(const std::string& given, PatchFormat& format) {
    const std::string text = lowerAscii(given);
    for (const auto& known : kFormatNames) {
        if (text != known.name) continue;
        format = known.format;
        return true;
    }
    return false;
}

// An order in the words of the success line: "big-endian", "little-endian", "v64".
std::string orderWords(ByteOrder order) {
    switch (order) {
    case ByteOrder::LittleEndian: return "little-endian";
    case ByteOrder::DoctorV64: return "v64";
    default: break;
    }
    return "big-endian";
}

// A count of bytes with its thousands grouped: "14,231 bytes", "1 byte".
std::string groupedBytes(std::size_t count) {
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits + (count == 1 ? " byte" : " bytes");
}

// Reports why nothing was written.
void reportFailure(const MakePatchRequest& request, const MakePatchReport& report) {
    switch (report.failed) {
    case MakePatchStep::OutputTaken:
        reportProblem(report.output, "already exists; nothing written (name the patch with -o)");
        break;
    case MakePatchStep::Interrupted: reportPending(report.error.path, report.pending); break;
    case MakePatchStep::Read: reportError(report.error.path, "cannot read", report.error.reason + "; nothing written"); break;
    case MakePatchStep::Order:
        if (report.error.kind != FileKind::Unrecognised) {
            reportProblem(report.error.path, notARomText(report.error.kind) + "; nothing written");
            break;
        }
        reportProblem(report.error.path, "byte order not recognised (not an N64 ROM?); nothing written");
        break;
    case MakePatchStep::Make: reportError(request.modified, "cannot make the patch", report.error.reason + "; nothing written"); break;
    case MakePatchStep::Check:
        reportError(request.modified, "cannot make the patch",
                    report.error.reason + " (a fault of this program: please report it); nothing written");
        break;
    case MakePatchStep::Write:
        reportError(report.output, "cannot write", report.error.reason + (request.dryRun ? "" : "; nothing written"));
        break;
    case MakePatchStep::None: break;
    }
}

// The object of a patch made: the two ROMs and their orders, the new file, its format,
// order and size, and whether the two ROMs were the same.
JsonObject madeFields(const MakePatchRequest& request, const MakePatchReport& report) {
    JsonObject fields;
    putPath(fields, "original", request.original);
    fields["original_order"] = orderName(report.originalOrder);
    fields["modified_order"] = orderName(report.modifiedOrder);
    putPath(fields, "output", report.output);
    fields["format"] = patchFormatName(request.format);
    fields["patch_order"] = orderName(request.order);
    fields["size"] = report.patchSize;
    fields["identical"] = report.identical;
    return fields;
}

// Makes the patch and tells it in one line; with -o - the patch goes to standard output and
// the line is not printed.
int makeAndTell(const MakePatchRequest& request) {
    MakePatchReport report;
    if (!makePatchFile(request, report)) {
        reportFailure(request, report);
        return kExitFailure;
    }
    if (jsonOutput()) addFileObject(request.modified, request.dryRun ? "would_make" : "made", madeFields(request, report));
    if (request.stream) return kExitSuccess;
    const std::string same = report.identical ? "; the two ROMs are the same, so it changes nothing" : "";
    reportLine(request.modified + " from " + request.original + " -> " + report.output +
               (request.dryRun ? " would be written (" : " (") +
               patchFormatName(request.format) + " for " + orderWords(request.order) + ", " +
               groupedBytes(report.patchSize) + same + ")");
    return kExitSuccess;
}

// Makes the patch with the stop signals held off: the new file is finished (or left out
// whole) before the program stops. Metadata is BPS's alone.
int runMakePatch(const MakePatchRequest& request, const CLI::App& parser) {
    if (!request.metadata.empty() && request.format != PatchFormat::Bps) {
        reportUsageError(parser, "--metadata is for BPS patches only");
        return kExitUsage;
    }
    if (!outputToStreamAllowed(parser, request.output)) return kExitUsage;
    return runHoldingOffStopSignals(
        [&request] { return withProgressOver(request.modified, [&request] { return makeAndTell(request); }); },
        "the patch was written");
}

} // namespace

Command addMakePatchCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "make-patch",
                                        "make a patch that turns ORIGINAL into MODIFIED, both ROMs\n"
                                        "in any byte order, for the order asked");
    auto request = std::make_shared<MakePatchRequest>();
    const auto knownFormat = [](const std::string& text) {
        PatchFormat ignored;
        return parseFormatName(text, ignored) ? std::string()
                                              : "unknown FORMAT '" + text + "' (use bps, ups, ips or xdelta)";
    };
    parser->add_option_function<std::string>(
              "--format", [request](const std::string& text) { parseFormatName(text, request->format); },
              "the patch's format: bps (default), ups, ips or xdelta")
        ->type_name("FORMAT")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(knownFormat);
    addOrderOption(*parser, "--for", request->order,
                   "the byte order the patch is made for (default: big,\n"
                   "the order nearly all published patches are made for)");
    parser->add_option("-o,--output", request->output,
                       "the new patch file (default: MODIFIED's name with the\n"
                       "format's extension, .bps .ups .ips or .xdelta); - writes\n"
                       "it to standard output")
        ->each([request](const std::string& output) {
            if (output == kStandardStreamName) request->stream = writeToStandardOutput;
        })
        ->type_name("OUT");
    parser->add_option("--metadata", request->metadata, "BPS only: a text the patch carries (e.g. its\nauthor)")
        ->type_name("TEXT");
    addOutputOptions(*parser);
    addProgressOptions(*parser);
    addDryRunOption(*parser, request->dryRun,
                    "make the patch, check it, and check that the new file's\n"
                    "folder takes it; write nothing");
    parser->add_option("ORIGINAL", request->original, "the ROM the patch applies to; it is only read")
        ->required()
        ->type_name("");
    parser->add_option("MODIFIED", request->modified, "the ROM the patch makes of it; it is only read")
        ->required()
        ->type_name("");
    parser->footer("ORDER is big (or z64), little (or n64) or v64.\n"
                   "\nBoth ROMs are brought to the order the patch is for before they are compared;\n"
                   "the patch then applies to ORIGINAL in any order with dornavel-cli patch, and a\n"
                   "big-endian one with other patchers to the .z64. Every patch is applied to\n"
                   "ORIGINAL before it is written and must give MODIFIED exactly. IPS reaches 16 MiB\n"
                   "at most. An existing file is never replaced. Exit status: 0 when the patch was\n"
                   "written, 1 when it was not.\n"
                   "Example:\n"
                   "  dornavel-cli make-patch game.v64 hack.z64\n"
                   "  hack.z64 from game.v64 -> hack.bps (BPS for big-endian, 14,231 bytes)\n");
    return {parser, [request, parser] { return runMakePatch(*request, *parser); }};
}
