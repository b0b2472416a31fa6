#include "cli/report.h"

#include <cerrno>
#include <cstdio>

#include "core/file_system.h"

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

namespace {

// What a failed write-back left in the file, and where its old content is.
std::string romStateText(const FileError& error, const std::string& backup) {
    const std::string kept = backup.empty() ? "no backup was made" : "its old content is also in " + backup;
    switch (error.rom) {
    case RomState::Unchanged: return "; the file was not changed";
    case RomState::Restored: return "; the file was restored to its old content";
    case RomState::Mixed: break;
    }
    return "; restoring it failed too (" + error.restoreReason + "): its first " +
           std::to_string(error.mixedBytes) + " bytes may be in the new order, the rest is in the old one; " + kept;
}

} // namespace

void reportFileError(const std::string& file, const FileError& error, const std::string& backup) {
    switch (error.step) {
    case FileStep::Open: reportError(file, "cannot open for update", error.reason); break;
    case FileStep::Busy: reportProblem(file, error.reason); break;
    case FileStep::Recovery: reportError(file, "cannot bring an interrupted update to its end", error.reason); break;
    case FileStep::Record: reportError(file, "cannot write the recovery record " + error.path, error.reason + romStateText(error, backup)); break;
    case FileStep::Size: reportError(file, "cannot measure its size", error.reason); break;
    case FileStep::TooLarge: reportError(file, "too large to convert", error.reason); break;
    case FileStep::Allocate: reportError(file, "cannot allocate memory for its image", error.reason); break;
    case FileStep::Read: reportError(file, "cannot read", error.reason); break;
    case FileStep::Backup: reportError(file, "cannot write the backup " + error.path, error.reason); break;
    case FileStep::WriteBack: reportError(file, "cannot write back", error.reason + romStateText(error, backup)); break;
    case FileStep::Close: reportError(file, "cannot close", error.reason); break;
    case FileStep::Changed: reportProblem(file, error.reason); break;
    case FileStep::NewFile: reportError(file, "cannot write " + error.path, error.reason); break;
    case FileStep::None: reportError(file, "failed", error.reason); break;
    }
}

bool finishStandardOutput() {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    const int failure = errno;
    const std::string line = std::string(kProgramName) + ": cannot write to standard output: " +
                             (failure ? systemReason(failure) : std::string("write error")) + "\n";
    std::fputs(line.c_str(), stderr);
    return false;
}
