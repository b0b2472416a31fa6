#include "cli/chip_option.h"

#include <CLI/CLI.hpp>

#include <string>

void addChipOption(CLI::App& parser, BootChip& chip) {
    const auto knownChip = [](const std::string& text) {
        BootChip ignored;
        return parseBootChip(text, ignored)
                   ? std::string()
                   : "unknown CHIP '" + text + "' (use 6101, 6102, 7101, 7102, 6103, 7103, 6105, 7105, 6106, 7106 or 5101)";
    };
    parser
        .add_option_function<std::string>(
            "--cic", [&chip](const std::string& text) { parseBootChip(text, chip); },
            "compute the check code for this boot chip, not the one\n"
            "recognised from the boot code (for homebrew whose boot\n"
            "code is not recognised): 6101, 6102, 7101, 7102, 6103,\n"
            "7103, 6105, 7105, 6106, 7106 or 5101")
        ->type_name("CHIP")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(knownChip);
}
