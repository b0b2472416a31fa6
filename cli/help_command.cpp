#include "cli/help_command.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "cli/report.h"
#include "cli/usage.h"

namespace {

// Prints the help of the command named, or the program's when none is; a name that is no
// command is a usage error.
int printHelp(const CLI::App& program, const CLI::App& parser, const std::string& name) {
    if (name.empty()) {
        // program.help() would give the help of the command running, this one.
        const std::string help =
            program.get_formatter()->make_help(&program, program.get_name(), CLI::AppFormatMode::Normal);
        std::fputs(help.c_str(), stdout);
        return kExitSuccess;
    }
    for (const CLI::App* command : program.get_subcommands({})) {
        if (command->get_name() != name) continue;
        std::fputs(command->help().c_str(), stdout);
        return kExitSuccess;
    }
    reportUsageError(parser, "unknown command '" + name + "'");
    return kExitUsage;
}

} // namespace

Command addHelpCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "help", "print the help of the program, or of COMMAND");
    auto name = std::make_shared<std::string>();
    parser->add_option("COMMAND", *name, "the command whose help to print")->type_name("");
    return {parser, [&program, parser, name] { return printHelp(program, *parser, *name); }};
}
