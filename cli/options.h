// The command line of dornavel-cli: what it asks for, read from the arguments.
#pragma once

#include <string>
#include <vector>

#include "core/byte_order.h"

// What the program was asked to do.
enum class Command {
    Help,    // print the usage text
    Version, // print the program's name and version
    Detect,  // print the byte order of each file
    Convert  // rewrite each file in another byte order
};

// Everything the arguments say.
struct Options {
    Command command = Command::Help;
    ByteOrder target = ByteOrder::None; // --to: the order to write
    ByteOrder source = ByteOrder::None; // --from: the order to assume; None: recognise it
    bool backup = false;                // --backup: write FILE.bak first
    bool rename = false;                // --rename: give the file the extension of its order
    std::vector<std::string> files;     // in the order given
};

// Reads the arguments (without the program name) into options. The command comes first;
// its options may stand before, between or after the files, and "--" makes every later
// argument a file. Returns false with problem set when the arguments make no valid call.
bool parseArguments(const std::vector<std::string>& args, Options& options, std::string& problem);
