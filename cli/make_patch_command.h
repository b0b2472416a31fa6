// The make-patch command: a patch from two ROMs in any byte orders, for the order asked.
#pragma once

#include "cli/command.h"

Command addMakePatchCommand(CLI::App& program);
