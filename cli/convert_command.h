// The convert command: rewrites each file in place in the target byte order.
#pragma once

#include "cli/command.h"

// Adds convert to the program's parser: "convert --to ORDER [OPTIONS] FILE...". It converts
// every file, one after another; a file that fails does not stop the others. Its exit status
// is success only when every file named or found succeeded.
Command addConvertCommand(CLI::App& program);
