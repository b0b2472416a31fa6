// A command of dornavel-cli, the way each command's own file adds itself to the parser.
#pragma once

#include <functional>
#include <string>

namespace CLI {
class App;
}

// A command: its parser, on which it has put its options, and what runs it once the
// arguments are read.
struct Command {
    CLI::App* parser = nullptr;
    std::function<int()> run; // returns the exit status
};

// Adds the parser of a command called name to the program's parser, set up as every command
// is; the command then adds its own options to it.
CLI::App* addCommandParser(CLI::App& program, const std::string& name, const std::string& description);
