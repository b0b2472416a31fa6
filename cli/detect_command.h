// The detect command: prints the byte order of each file.
#pragma once

#include "cli/command.h"

// Adds detect to the program's parser: "detect [-r] FILE...", printing "FILE: ORDER" for
// each file that can be read and an error for each that cannot. Its exit status is success
// when every file could be read, whatever its order.
Command addDetectCommand(CLI::App& program);
