#include "cli/standard_streams.h"

#include <cerrno>
#include <cstdio>

#include "cli/json_output.h"
#include "cli/usage.h"
#include "core/file_system.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

const char* const kStandardStreamName = "-";

std::vector<std::string> namesFromStandardInput(bool nulSeparated) {
    const int separator = nulSeparated ? '\0' : '\n';
    std::vector<std::string> names;
    std::string name;
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        if (c != separator) {
            name += static_cast<char>(c);
            continue;
        }
        if (!name.empty()) names.push_back(name);
        name.clear();
    }
    if (!name.empty()) names.push_back(name);
    return names;
}

bool standardOutputIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(fileno(stdout)) != 0;
#endif
}

bool writeToStandardOutput(const unsigned char* bytes, std::size_t size, std::string& reason) {
#ifdef _WIN32
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    errno = 0;
    if (std::fwrite(bytes, 1, size, stdout) == size && std::fflush(stdout) == 0) return true;
    const int failure = errno;
    reason = failure ? systemReason(failure) : std::string("write error");
    return false;
}

bool outputToStreamAllowed(const CLI::App& command, const std::string& output) {
    if (output != kStandardStreamName) return true;
    if (jsonOutput())
        reportUsageError(command, "-o - cannot go with --json or --json-lines: standard output holds the JSON");
    else if (standardOutputIsTerminal())
        reportUsageError(command, "-o - would print a file's bytes on the terminal: send standard output to a "
                                  "file or a pipe");
    else
        return true;
    return false;
}
