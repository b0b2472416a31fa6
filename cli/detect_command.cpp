#include "cli/detect_command.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "cli/file_list.h"
#include "cli/json_output.h"
#include "cli/order_names.h"
#include "cli/report.h"
#include "core/byte_order.h"

namespace {

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
        const ByteOrder order = detectByteOrder(file, &reason);
        if (order == ByteOrder::None && !reason.empty()) {
            reportError(file, "cannot read", reason);
            allRead = false;
            continue;
        }
        reportOutcome(file, orderName(order), {{"order", orderName(order)}});
    }
    return allRead ? kExitSuccess : kExitFailure;
}

} // namespace

Command addDetectCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "detect",
                                        "print \"FILE: ORDER\" for each FILE, where ORDER is big,\n"
                                        "little, v64 or unknown (an empty file or an unrecognised\n"
                                        "first byte)");
    auto arguments = std::make_shared<FileArguments>();
    addJsonOption(*parser);
    addFileArguments(*parser, *arguments);
    return {parser, [arguments] { return runDetect(*arguments); }};
}
