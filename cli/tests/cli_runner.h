// Runs the real dornavel-cli program and captures what it says.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// What one run of the program gave.
struct CliRun {
    int status = -1;  // the exit status; 128 + the signal number when a signal ended it
    std::string out;  // everything written to standard output
    std::string err;  // everything written to standard error
};

// Whether file permissions hold for the program. Tests run as root, who reads and writes
// past them; Enforced takes that power from the program, so that a folder without read
// permission really is unreadable to it.
enum class Permissions { AsCaller, Enforced };

// Runs dornavel-cli with args in the folder workDir (the tests' own folder when empty), with
// standard input empty, and waits for it to end. Standard output goes to outputFile instead
// when one is named. A sanitizer report on standard error counts as a test failure.
CliRun runCli(const std::vector<std::string>& args, const std::string& workDir = std::string(),
              Permissions permissions = Permissions::AsCaller, const std::string& outputFile = std::string());

// Runs dornavel-cli as runCli does, with input on its standard input.
CliRun runCliWithInput(const std::vector<std::string>& args, const std::string& input,
                       const std::string& workDir = std::string());

// A run of dornavel-cli that goes on while the test acts on it (signals it, kills it).
struct RunningCli {
    int pid = -1;
    std::FILE* out = nullptr;
    std::FILE* err = nullptr;
};

// Starts dornavel-cli with args in workDir without waiting for it; with fileSizeLimit >= 0
// the program may write files of at most that many bytes (ulimit -f).
RunningCli startCli(const std::vector<std::string>& args, const std::string& workDir = std::string(),
                    long long fileSizeLimit = -1);

// Starts dornavel-cli as startCli does, its standard output a pipe that holds pipeBytes
// (rounded up to a page by the system): once the test stops reading it, the program waits
// as soon as that much is unread. out reads the pipe; -1 in pid when it cannot start.
RunningCli startCliIntoPipe(const std::vector<std::string>& args, const std::string& workDir, int pipeBytes);

// Waits for a run started with startCli to end and gives what it said.
CliRun finishCli(RunningCli& run);

// The lines of text, without their line ends.
std::vector<std::string> linesOf(const std::string& text);
