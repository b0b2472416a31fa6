// The convert command: rewrites each file in place in the target byte order.
#pragma once

#include "cli/options.h"

// Converts every file of options, one after another; a file that fails does not stop the
// others. Returns the exit status: success only when every file succeeded.
int runConvert(const Options& options);
