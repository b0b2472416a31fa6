// The texts that tell how to call dornavel-cli: the help, the version, the usage hint.
#pragma once

#include <memory>
#include <string>

namespace CLI {
class App;
class Formatter;
}

// The project's version, as the build gives it.
const char* programVersion();

// The line under the usage in the program's help.
std::string programDescription();

// What the program's help says after its commands: byte orders, exit status, wildcards.
std::string programHelpFooter();

// The table of ORDER names, for the help of each command that takes one.
std::string orderNamesHelp();

// The layout of every help text: the usage first, then the description, the options and the
// footer; an option shows its value's name and nothing more.
std::shared_ptr<CLI::Formatter> makeHelpFormatter();

// Tells on standard error what is wrong with the arguments, then the usage of the command
// the parser had reached (or of the whole program) and where to find more.
void reportUsageError(const CLI::App& reached, const std::string& problem);
