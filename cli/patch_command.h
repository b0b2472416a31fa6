// The patch command: a patch applied to a ROM in any byte order, into a new file.
#pragma once

#include "cli/command.h"

// Adds patch to the program's parser: "patch [--to ORDER] [--patch-order ORDER] [-o OUT]
// ROM PATCH". The ROM and the patch are only read; the result is a new file, never one that
// exists. Its exit status is success only when the new file was written.
Command addPatchCommand(CLI::App& program);
