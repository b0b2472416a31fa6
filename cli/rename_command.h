// The rename command: gives each ROM the name its DAT lists it under.
#pragma once

#include "cli/command.h"

// Adds rename to the program's parser: "rename [--dat DAT] [-n] [-r] FILE...". Each file
// found in the DAT gets the DAT's name with the extension of its own order, in its own
// folder; no file is ever replaced. Its exit status is success only when every file was
// renamed or already so named.
Command addRenameCommand(CLI::App& program);
