// The fix command: writes the check codes each ROM's boot code computes into its header.
#pragma once

#include "cli/command.h"

// Adds fix to the program's parser: "fix [--backup] [--cic CHIP] [-r] FILE...". Each file
// whose header codes differ from the computed ones gets them, on the core's update road;
// one already right is left untouched. Its exit status is success only when every file was
// fixed or already right.
Command addFixCommand(CLI::App& program);
