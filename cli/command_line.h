// Reading the command line and running the command it names.
#pragma once

// Parses the arguments with every command's parser and runs the command named. Returns the
// exit status: the command's own, 0 after --help or --version, 2 for a usage error.
int runCommandLine(int argc, const char* const* argv);
