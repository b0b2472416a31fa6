// dornavel-cli: recognises and changes the byte order of Nintendo 64 ROM files from the
// command line, with the same file update as the window's swap.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/convert_command.h"
#include "cli/detect_command.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/usage.h"

// Reads the arguments and runs the command they ask for; returns the exit status.
int main(int argc, char** argv) {
    const Utf8Console console;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));

    Options options;
    std::string problem;
    if (!parseArguments(args, options, problem)) {
        reportUsageError(problem);
        return kExitUsage;
    }

    int status = kExitSuccess;
    switch (options.command) {
    case Command::Help: printUsage(); break;
    case Command::Version: printVersion(); break;
    case Command::Detect: status = runDetect(options.files); break;
    case Command::Convert: status = runConvert(options); break;
    }
    if (!finishStandardOutput()) status = kExitFailure;
    return status;
}
