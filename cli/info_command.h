// The info command: what each ROM is, with the digests catalogues list and its catalogue name.
#pragma once

#include <string>

#include "cli/command.h"
#include "cli/file_list.h"
#include "identity/boot_chip.h"

// What info was asked to do.
struct InfoOptions {
    FileArguments files;                // FILE... and -r
    std::string catalog;                // --catalog FILE; empty: look in the usual places
    BootChip chip = BootChip::Unknown;  // --cic CHIP: check the code for this chip
    std::string dat;                    // --dat DAT; empty: $DORNAVEL_DAT, else none
};

// Reports on every file of options; a file that cannot be read does not stop the others.
// A catalogue that cannot be read is warned about and otherwise ignored; a DAT that cannot
// be read fails the call before any file. Returns the exit status: success when every file
// could be read.
int runInfo(const InfoOptions& options);

// Adds info to the program's parser: "info [--json] [--catalog FILE] [--dat DAT] [--cic CHIP] [-r] FILE...".
Command addInfoCommand(CLI::App& program);
