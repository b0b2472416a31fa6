#include "cli/usage.h"

#include <cstdio>

#include "cli/report.h"

#ifndef DORNAVEL_VERSION
#error "DORNAVEL_VERSION must be defined by the build (the project's version)"
#endif

namespace {

// The lines that show every form of call; both the help and the usage hint start with them.
const char* const kSynopsis =
    "Usage: dornavel-cli detect FILE...\n"
    "       dornavel-cli convert --to ORDER [--backup] [--rename] [--from ORDER] FILE...\n"
    "       dornavel-cli --help | --version\n";

// The rest of the help text.
const char* const kDetails =
    "\n"
    "Recognises and changes the byte order of Nintendo 64 ROM files, in place.\n"
    "\n"
    "Commands:\n"
    "  detect    print \"FILE: ORDER\" for each FILE, where ORDER is big, little, v64\n"
    "            or unknown (an empty file or an unrecognised first byte)\n"
    "  convert   rewrite each FILE in place in the byte order given by --to; a file\n"
    "            already in that order is left untouched\n"
    "\n"
    "Options of convert (before, between or after the files):\n"
    "  --to ORDER     the byte order to write (required)\n"
    "  --from ORDER   take every FILE to be in ORDER instead of recognising its order;\n"
    "                 without it, a file of unrecognised order is skipped\n"
    "  --backup       first save each FILE's old content as FILE.bak, replacing an\n"
    "                 older FILE.bak\n"
    "  --rename       then rename each converted FILE to the extension of ORDER\n"
    "                 (.rom, .bin or .v64); an existing file of that name is never\n"
    "                 replaced, and then FILE is not converted at all\n"
    "  --             end of options: every later argument is a FILE\n"
    "\n"
    "ORDER is one of:\n"
    "  big      (or z64)  bytes A B C D of each 4-byte group, extension .rom\n"
    "  little   (or n64)  bytes D C B A, extension .bin\n"
    "  v64                bytes B A D C, extension .v64\n"
    "\n"
    "Exit status: 0 when every FILE succeeded, 1 when any failed (the others are still\n"
    "processed), 2 when the arguments are wrong.\n";

} // namespace

void printUsage() {
    std::fputs(kSynopsis, stdout);
    std::fputs(kDetails, stdout);
}

void printVersion() {
    std::printf("%s %s\n", kProgramName, DORNAVEL_VERSION);
}

void reportUsageError(const std::string& problem) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", kProgramName, problem.c_str());
    std::fputs(kSynopsis, stderr);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgramName);
}
