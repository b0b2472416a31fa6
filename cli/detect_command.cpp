#include "cli/detect_command.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "cli/file_list.h"
#include "cli/json_output.h"
#include "cli/order_names.h"
#include "cli/report.h"
#include "core/byte_order.h"

namespace {

// Tells the order of a file that was read: "big", "unknown", or "not a ROM (a 7z archive)"
// for a file whose first bytes say what else it is.
void reportOrder(const std::string& file, ByteOrder order, FileKind kind) {
    if (kind != FileKind::Unrecognised) {
        reportOutcome(file, std::string("not a ROM (") + fileKindText(kind) + ")",
                      {{"order", orderName(order)}, {"kind", fileKindName(kind)}});
        return;
    }
    reportOutcome(file, orderName(order), {{"order", orderName(order)}, {"kind", nullptr}});
}

// Prints the order of each file of the arguments.
int runDetect(const FileArguments& arguments) {
    const FileList list = listFiles(arguments);
    bool allRead = list.failures == 0;
    for (const std::string& file : list.files) {
        if (reportIfInterrupted(file)) {
            allRead = false;
            continue;
        }
        std::string reason;
        FileKind kind = FileKind::Unrecognised;
        const ByteOrder order = detectByteOrder(file, &reason, &kind);
        if (order == ByteOrder::None && !reason.empty()) {
            reportError(file, "cannot read", reason);
            allRead = false;
            continue;
        }
        reportOrder(file, order, kind);
    }
    return allRead ? kExitSuccess : kExitFailure;
}

} // namespace

Command addDetectCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "detect",
                                        "print \"FILE: ORDER\" for each FILE, where ORDER is big,\n"
                                        "little, v64 or unknown (an empty file or an unrecognised\n"
                                        "first byte), or \"FILE: not a ROM (KIND)\" for a file whose\n"
                                        "first bytes say it is an archive, a picture or a program");
    auto arguments = std::make_shared<FileArguments>();
    addJsonOption(*parser);
    addFileArguments(*parser, *arguments);
    return {parser, [arguments] { return runDetect(*arguments); }};
}
