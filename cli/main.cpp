// dornavel-cli: recognises and changes the byte order of Nintendo 64 ROM files from the
// command line, with the same file update as the window's swap.
#include <cstdio>

#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/report.h"
#include "cli/stop_signals.h"

#ifdef __MINGW32__
// The MinGW-w64 start-up expands * and ? in the arguments as Windows programs do, through
// FindFirstFileA: under the program's UTF-8 manifest the names come out in UTF-8. A pattern
// that matches nothing stays as it was, and is reported as such.
extern "C" {
int _dowildcard = -1;
}
#endif

// Reads the arguments and runs the command they ask for; returns the exit status.
int main(int argc, char** argv) {
    const Utf8Console console;
    ignoreFileSizeSignal();
    int status = runCommandLine(argc, argv);
    if (!finishStandardOutput()) status = kExitFailure;
    return status;
}
