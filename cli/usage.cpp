#include "cli/usage.h"

#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/report.h"
#include "core/shown_text.h"

#ifndef DORNAVEL_VERSION
#error "DORNAVEL_VERSION must be defined by the build (the project's version)"
#endif

namespace {

// The indent of the usage lines after the first, under its "Usage: ".
const char* const kUsageIndent = "       ";

// The width of the column of option names; descriptions fit in 80 columns beside it.
constexpr std::size_t kNameColumnWidth = 22;

// Lays out help as it always was: usage first, then what the program or command does.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;
    std::string make_usage(const CLI::App* app, std::string name) const override;
    std::string make_option_opts(const CLI::Option* option) const override;
    std::string make_option(const CLI::Option* option, bool positional) const override;
    std::string make_option_name(const CLI::Option* option, bool positional) const override;
};

// "dornavel-cli COMMAND" with the options the command cannot do without, "[OPTIONS]" when
// it has others, and its positional arguments.
std::string commandSynopsis(const CLI::App& command) {
    std::string text = std::string(kProgramName) + " " + command.get_name();
    bool optional = false;
    for (const CLI::Option* option : command.get_options()) {
        if (option->get_positional()) continue;
        if (!option->get_required()) {
            optional = true;
            continue;
        }
        text += " " + option->get_name() + " " + option->get_type_name();
    }
    if (optional) text += " [OPTIONS]";
    for (const CLI::Option* option : command.get_options())
        if (option->get_positional())
            text += " " + option->get_name() + (option->get_items_expected_max() > 1 ? "..." : "");
    return text;
}

} // namespace

std::string HelpFormatter::make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const {
    if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
    return make_usage(app, name) + "\n" + make_description(app) + make_positionals(app) +
           make_groups(app, mode) + make_subcommands(app, mode) + "\n" + make_footer(app);
}

// The program's usage has a line for each command, in the order they were added.
std::string HelpFormatter::make_usage(const CLI::App* app, std::string) const {
    if (app->get_parent() != nullptr) return "Usage: " + commandSynopsis(*app) + "\n";
    std::string text;
    for (const CLI::App* command : app->get_subcommands({}))
        text += (text.empty() ? "Usage: " : kUsageIndent) + commandSynopsis(*command) + "\n";
    return text + kUsageIndent + kProgramName + " [COMMAND] --help\n" + kUsageIndent + kProgramName +
           " --version\n";
}

// Flags and FILE have no value name, so they show none; a value that may only be joined to
// the option ("[=SET]") is shown joined.
std::string HelpFormatter::make_option_opts(const CLI::Option* option) const {
    const std::string& valueName = option->get_type_name();
    if (valueName.empty()) return std::string();
    return valueName.rfind("[=", 0) == 0 ? valueName : " " + valueName;
}

// An option's names, short ones first ("-n,--dry-run"), without the value a flag takes when
// given bare ("--rename", not "--rename{window}"): its description tells that.
std::string HelpFormatter::make_option_name(const CLI::Option* option, bool positional) const {
    if (positional) return CLI::Formatter::make_option_name(option, positional);
    std::string names;
    for (const std::string& name : option->get_snames()) names += (names.empty() ? "-" : ",-") + name;
    for (const std::string& name : option->get_lnames()) names += (names.empty() ? "--" : ",--") + name;
    return names;
}

// Two spaces at least part an option's name from its description, for a reader and for the
// man page made from this help: a longer name puts the description on the next line.
std::string HelpFormatter::make_option(const CLI::Option* option, bool positional) const {
    const std::string indent(kNameColumnWidth, ' ');
    std::string text = "  " + make_option_name(option, positional) + make_option_opts(option);
    const std::string description = make_option_desc(option);
    if (description.empty()) return text + "\n";
    text += text.size() + 2 > kNameColumnWidth ? "\n" + indent : std::string(kNameColumnWidth - text.size(), ' ');
    for (const char c : description) {
        text += c;
        if (c == '\n') text += indent;
    }
    return text + "\n";
}

const char* programVersion() {
    return DORNAVEL_VERSION;
}

std::string programDescription() {
    return "Recognises and changes the byte order of Nintendo 64 ROM files, in place; checks\n"
           "them against their check codes and against DAT files, repairs the codes and\n"
           "names files as a DAT does.";
}

std::string programHelpFooter() {
    return orderNamesHelp() +
           "\n"
           "On Windows the program expands * and ? in a FILE itself, as the shell does\n"
           "elsewhere.\n"
           "\n"
           "Exit status: 0 when every FILE succeeded, 1 when any failed (the others are\n"
           "still processed), 2 when the arguments are wrong.\n";
}

std::string orderNamesHelp() {
    return "ORDER is one of:\n"
           "  big      (or z64)  bytes A B C D of each 4-byte group, extension .rom\n"
           "  little   (or n64)  bytes D C B A, extension .bin\n"
           "  v64                bytes B A D C, extension .v64\n";
}

std::shared_ptr<CLI::Formatter> makeHelpFormatter() {
    auto formatter = std::make_shared<HelpFormatter>();
    formatter->column_width(kNameColumnWidth);
    formatter->label("Positionals", "Arguments");
    return formatter;
}

void reportUsageError(const CLI::App& reached, const std::string& problem) {
    std::fflush(stdout);
    // The problem may quote an argument, which may be any bytes.
    std::fprintf(stderr, "%s: %s\n", kProgramName, shownText(problem).c_str());
    std::fputs(HelpFormatter().make_usage(&reached, std::string()).c_str(), stderr);
    const std::string helpCall = reached.get_parent() ? std::string(kProgramName) + " " + reached.get_name()
                                                      : std::string(kProgramName);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", helpCall.c_str());
}
