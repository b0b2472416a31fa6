#include "cli/order_option.h"

#include <CLI/CLI.hpp>

#include "cli/order_names.h"

CLI::Option* addOrderOption(CLI::App& parser, const std::string& name, ByteOrder& order,
                            const std::string& description) {
    const auto knownOrder = [](const std::string& text) {
        ByteOrder ignored;
        return parseOrderName(text, ignored) ? std::string()
                                             : "unknown ORDER '" + text + "' (use big, little or v64)";
    };
    return parser.add_option_function<std::string>(
                     name, [&order](const std::string& text) { parseOrderName(text, order); }, description)
        ->type_name("ORDER")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(knownOrder);
}
