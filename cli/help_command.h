// The help command: "dornavel-cli help [COMMAND]", the same help as --help gives.
#pragma once

#include "cli/command.h"

// Adds help to the program's parser.
Command addHelpCommand(CLI::App& program);
