#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/check_command.h"
#include "cli/command.h"
#include "cli/convert_command.h"
#include "cli/detect_command.h"
#include "cli/fix_command.h"
#include "cli/help_command.h"
#include "cli/info_command.h"
#include "cli/json_output.h"
#include "cli/make_patch_command.h"
#include "cli/patch_command.h"
#include "cli/rename_command.h"
#include "cli/report.h"
#include "cli/usage.h"

namespace {

// Settings of the program's parser that every command inherits.
void setUpProgram(CLI::App& program) {
    program.formatter(makeHelpFormatter());
    // A file name may start with a slash: on Windows too it is never an option.
    program.allow_windows_style_options(false);
    program.require_subcommand(1);
    // --version is accepted after a command as well, as it always was.
    program.fallthrough();
    program.set_version_flag("-V,--version", std::string(kProgramName) + " " + programVersion(),
                             "print the program's name and version");
    program.set_help_flag("-h,--help", "print this help");
    program.footer(programHelpFooter());
}

// The command the parser was reading when it stopped: the one named, or the program itself.
const CLI::App& commandReached(const CLI::App& program) {
    const std::vector<CLI::App*> named = program.get_subcommands();
    return named.empty() ? program : *named.front();
}

// The first argument the parser took for an option that the command does not have, or empty.
// CLI11 may complain first of a FILE missing when that argument was meant as the FILE.
std::string unknownOption(const CLI::App& program) {
    for (const std::string& argument : program.remaining(true))
        if (argument.size() > 1 && argument[0] == '-' && argument != "--") return argument;
    return std::string();
}

// What to say about a usage error. CLI11's own words serve, except where the command is
// missing or not the first argument: an option there is out of place, since only --help
// and --version (handled before) may come before a command.
std::string problemText(const CLI::App& program, const CLI::ParseError& error, int argc,
                        const char* const* argv) {
    if (argc < 2) return "no command given";
    const std::string first = argv[1];
    if (!first.empty() && first[0] == '-')
        return "unknown option '" + first + "' before the COMMAND (the COMMAND comes first, then its options)";
    if (program.get_subcommands().empty()) return "unknown command '" + first + "'";
    const std::string unknown = unknownOption(program);
    if (!unknown.empty())
        return "unknown option '" + unknown + "' (if it is a FILE, give it after '--': -- " + unknown + ")";
    return error.what();
}

} // namespace

CLI::App* addCommandParser(CLI::App& program, const std::string& name, const std::string& description) {
    CLI::App* parser = program.add_subcommand(name, description);
    parser->group("Commands");
    parser->set_help_flag("-h,--help", "print the help of this command");
    return parser;
}

int runCommandLine(int argc, const char* const* argv) {
    CLI::App program(programDescription(), kProgramName);
    setUpProgram(program);
    // Each command adds its own parser here; the first one named on the command line runs.
    const std::vector<Command> commands = {addDetectCommand(program), addConvertCommand(program),
                                           addInfoCommand(program), addCheckCommand(program),
                                           addPatchCommand(program), addMakePatchCommand(program),
                                           addFixCommand(program),
                                           addRenameCommand(program), addHelpCommand(program)};
    try {
        program.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(program.help().c_str(), stdout);
        return kExitSuccess;
    } catch (const CLI::CallForVersion& version) {
        std::printf("%s\n", version.what());
        return kExitSuccess;
    } catch (const CLI::ParseError& error) {
        reportUsageError(commandReached(program), problemText(program, error, argc, argv));
        return kExitUsage;
    }
    for (const Command& command : commands) {
        if (!command.parser->parsed()) continue;
        const int status = command.run();
        printJsonDocument(status);
        return status;
    }
    return kExitUsage; // not reached: the parser requires a command
}
