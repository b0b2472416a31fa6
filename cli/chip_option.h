// The --cic CHIP option of info and check.
#pragma once

#include "identity/boot_chip.h"

namespace CLI {
class App;
}

// Adds --cic CHIP to a command's parser: chip is set to the family of the chip named, and a
// name of no chip whose check code is known is a usage error.
void addChipOption(CLI::App& parser, BootChip& chip);
