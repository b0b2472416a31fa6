#include "cli/report.h"

#include <cstdio>

const char* const kProgramName = "dornavel-cli";

namespace {

bool stepsSilenced = false; // set once by --quiet

} // namespace

void silenceSteps() {
    stepsSilenced = true;
}

void reportStep(const std::string& file, const std::string& text) {
    if (stepsSilenced) return;
    const std::string line = file + ": " + text + "\n";
    std::fputs(line.c_str(), stdout);
}

// Standard output is flushed first, so that on a terminal the lines keep their order.
void reportError(const std::string& file, const std::string& what, const std::string& reason) {
    std::fflush(stdout);
    const std::string line = std::string(kProgramName) + ": " + file + ": " + what + ": " + reason + "\n";
    std::fputs(line.c_str(), stderr);
}

void reportProblem(const std::string& file, const std::string& text) {
    std::fflush(stdout);
    const std::string line = std::string(kProgramName) + ": " + file + ": " + text + "\n";
    std::fputs(line.c_str(), stderr);
}

void reportFileError(const std::string& file, const FileError& error, const std::string& backup) {
    switch (error.step) {
    case FileStep::Open: reportError(file, "cannot open for update", error.reason); break;
    case FileStep::Size: reportError(file, "cannot measure its size", error.reason); break;
    case FileStep::TooLarge: reportError(file, "too large to convert", error.reason); break;
    case FileStep::Allocate: reportError(file, "cannot allocate memory for its image", error.reason); break;
    case FileStep::Read: reportError(file, "cannot read", error.reason); break;
    case FileStep::Backup: reportError(file, "cannot write the backup " + error.path, error.reason); break;
    case FileStep::WriteBack: {
        // The file was being overwritten in place: say what state it may be in.
        const std::string state = backup.empty()
            ? "; the file may be partly written, and no backup was made"
            : "; the file may be partly written; its old content is in " + backup;
        reportError(file, "cannot write back", error.reason + state);
        break;
    }
    case FileStep::Close: reportError(file, "cannot close", error.reason); break;
    case FileStep::None: reportError(file, "failed", error.reason); break;
    }
}
