// The check command: whether each ROM's header check code holds.
#pragma once

#include "cli/command.h"
#include "cli/file_list.h"
#include "identity/boot_chip.h"

// What check was asked to do.
struct CheckOptions {
    FileArguments files;               // FILE... and -r
    BootChip chip = BootChip::Unknown; // --cic CHIP: check the code for this chip
};

// Prints "FILE: ok (...)", "FILE: mismatch: ..." or "FILE: not verified: ..." for every file
// of options, and an error for each that cannot be read. Files are only read. Returns the
// exit status: success only when every file was verified ok.
int runCheck(const CheckOptions& options);

// Adds check to the program's parser: "check [--cic CHIP] [-r] FILE...".
Command addCheckCommand(CLI::App& program);
