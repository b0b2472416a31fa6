// The texts that tell how to call dornavel-cli.
#pragma once

#include <string>

// Prints the full usage text to standard output (for --help).
void printUsage();

// Prints "dornavel-cli VERSION" to standard output (for --version).
void printVersion();

// Tells on standard error what is wrong with the arguments, with a short usage hint.
void reportUsageError(const std::string& problem);
