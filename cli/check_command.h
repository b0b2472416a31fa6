// The check command: whether each ROM's header check code holds, and whether a DAT lists it.
#pragma once

#include <string>

#include "cli/command.h"
#include "cli/file_list.h"
#include "identity/boot_chip.h"

// What check was asked to do.
struct CheckOptions {
    FileArguments files;               // FILE... and -r
    BootChip chip = BootChip::Unknown; // --cic CHIP: check the code for this chip
    std::string dat;                   // --dat DAT; empty: $DORNAVEL_DAT, else none
    bool missing = false;              // --missing: the DAT's games no file is, and the counts
};

// Prints "FILE: ok (...)", "FILE: mismatch: ..." or "FILE: not verified: ..." for every file
// of options, and an error for each that cannot be read; with a DAT, each line also says
// whether and as what the DAT lists the file. Files are only read. Returns the exit status:
// success only when every file was verified ok (and, with a DAT, is in it, not as a bad dump).
int runCheck(const CheckOptions& options);

// Adds check to the program's parser: "check [--cic CHIP] [--dat DAT] [-r] FILE...".
Command addCheckCommand(CLI::App& program);
