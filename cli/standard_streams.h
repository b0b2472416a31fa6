// The standard streams where a file name is expected: "-" as FILE reads the names from
// standard input, "-" as -o writes the new file to standard output.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace CLI {
class App;
}

// The name that stands for a standard stream.
extern const char* const kStandardStreamName;

// Reads the names on standard input: one a line, or NUL-separated when nulSeparated (as
// "find -print0" and "fd -0" write them). Empty names are left out.
std::vector<std::string> namesFromStandardInput(bool nulSeparated);

// Whether standard output is a terminal, which must not be sent a file's bytes.
bool standardOutputIsTerminal();

// Writes bytes to standard output, in binary mode, and hands them to the system; false with
// reason set when they could not all be written.
bool writeToStandardOutput(const unsigned char* bytes, std::size_t size, std::string& reason);

// Whether the new file of a command may go where output (-o) names: anywhere but to "-" when
// standard output holds the JSON or is a terminal; that is told as a usage error of command.
bool outputToStreamAllowed(const CLI::App& command, const std::string& output);
