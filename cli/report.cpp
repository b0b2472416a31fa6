#include "cli/report.h"

#include <cerrno>
#include <cstdio>

#include <CLI/CLI.hpp>

#include "cli/json_output.h"
#include "cli/order_names.h"
#include "cli/progress.h"
#include "core/byte_order.h"
#include "core/file_system.h"
#include "core/path_name.h"
#include "core/shown_text.h"

const char* const kProgramName = "dornavel-cli";

namespace {

bool stepsSilenced = false; // set once by --quiet

// Prints "dornavel-cli: text" on standard error. Standard output is flushed first, so that
// the lines keep their order where both streams go to one terminal or one file.
void printErrorLine(const std::string& text) {
    clearProgressLine();
    std::fflush(stdout);
    std::fputs((std::string(kProgramName) + ": " + text + "\n").c_str(), stderr);
}

// Prints "dornavel-cli: FILE: text" on standard error, the name and the text shown safely.
void printFailure(const std::string& file, const std::string& text) {
    printErrorLine(shownText(file) + ": " + shownText(text));
}

// Tells that file failed, on standard error and as its object of the JSON.
void reportFailure(const std::string& file, const std::string& text) {
    printFailure(file, text);
    if (jsonOutput()) addFileObject(file, "failed", {{"error", jsonText(text)}});
}

// Prints text on standard output, taking the progress line off the terminal first.
void printOut(const std::string& text) {
    clearProgressLine();
    std::fputs(text.c_str(), stdout);
}

} // namespace

void addOutputOptions(CLI::App& parser) {
    parser.add_flag_callback("-q,--quiet", [] { stepsSilenced = true; },
                             "print only failures and the closing summary");
    addJsonOptions(parser);
}

bool stepsShown() {
    return !stepsSilenced && !jsonOutput();
}

void reportStep(const std::string& file, const std::string& text) {
    if (stepsShown()) printOut(shownText(file) + ": " + shownText(text) + "\n");
}

void reportLine(const std::string& line) {
    if (stepsShown()) printOut(shownText(line) + "\n");
}

void reportBlock(const std::string& block) {
    if (stepsShown()) printOut(block);
}

void reportOutcome(const std::string& file, const std::string& text, const std::string& outcome,
                   const nlohmann::ordered_json& fields, Shown shown) {
    if (jsonOutput())
        addFileObject(file, outcome, fields);
    else if (shown == Shown::EvenQuiet)
        printOut(shownText(file) + ": " + shownText(text) + "\n");
    else
        reportStep(file, text);
}

void reportError(const std::string& file, const std::string& what, const std::string& reason) {
    reportFailure(file, what + ": " + reason);
}

void reportProblem(const std::string& file, const std::string& text) {
    reportFailure(file, text);
}

void reportWarning(const std::string& file, const std::string& what, const std::string& reason) {
    printFailure(file, "warning: " + what + ": " + reason);
}

void reportMessage(const std::string& text) {
    printErrorLine(shownText(text));
}

std::string interruptedUpdateText(const RecordContents& contents) {
    if (contents.conversion)
        return std::string("an interrupted conversion (") + orderName(contents.from) + " -> " + orderName(contents.to) + ")";
    return "an interrupted rewrite of " + std::to_string(contents.oldBytes.size()) + " bytes at offset " +
           std::to_string(contents.offset);
}

// Any update of the file finishes it: convert opens it for update first thing. Where the
// record's folder cannot be written, the ROM is finished from a copy taken with its record.
bool reportIfInterrupted(const std::string& file) {
    const PendingUpdate pending = pendingUpdate(file);
    if (!pending.found()) return false;
    reportPending(file, pending);
    return true;
}

void reportPending(const std::string& file, const PendingUpdate& pending) {
    if (pending.state != RecordState::Interrupted) {
        reportProblem(file, pending.problem + "; its bytes cannot be told to be in one order");
        return;
    }
    const std::string order = pending.contents.conversion ? orderName(pending.contents.to) : "ORDER";
    const std::string held = "holds " + interruptedUpdateText(pending.contents) + ", recorded in " + pending.recordPath;
    const std::string cannot = fileOps().newNameProblem(folderOf(pending.recordPath), "x");
    if (!cannot.empty())
        reportProblem(file, held + "; its folder cannot be written (" + cannot +
                                "): copy the ROM and its record together to a writable place, or make it writable, "
                                "then '" + kProgramName + " convert --to " + order + "' finishes it");
    else
        reportProblem(file, held + "; '" + kProgramName + " convert --to " + order +
                                "' on it, or opening it in the window, finishes it");
}

bool reportIfNotRom(const std::string& file, const std::string& consequence) {
    FileError look;
    detectByteOrder(file, look);
    if (look.step != FileStep::NotRom) return false;
    reportProblem(file, look.reason + consequence);
    return true;
}

ReadForReport identifyForReport(const std::string& file, const IdentifyOptions& options, RomIdentity& identity) {
    if (reportIfInterrupted(file)) return ReadForReport::Failed;
    if (reportIfNotRom(file, std::string())) return ReadForReport::NotRom;
    std::string reason;
    if (identifyRom(file, options, identity, reason)) return ReadForReport::Read;
    reportError(file, "cannot read", reason);
    return ReadForReport::Failed;
}

ReadForReport identifyForReport(const std::string& name, ByteSource& rom, const IdentifyOptions& options,
                                RomIdentity& identity) {
    std::string reason;
    if (identifyRom(rom, options, identity, reason)) return ReadForReport::Read;
    reportError(name, "cannot read", reason);
    return ReadForReport::Failed;
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
    return "; restoring it failed too (" + error.restoreReason + "): its first " + bytesText(error.mixedBytes) +
           " may be in the new order, the rest is in the old one; " + kept +
           "; its recovery record stays beside it, and converting it again finishes the conversion";
}

} // namespace

void reportFileError(const std::string& file, const FileError& error, const std::string& backup) {
    switch (error.step) {
    case FileStep::Open: reportError(file, "cannot open for update", error.reason); break;
    case FileStep::Busy: reportProblem(file, error.reason); break;
    case FileStep::Links: reportProblem(file, error.reason); break;
    case FileStep::NotRom: reportProblem(file, error.reason + "; nothing written"); break;
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
    case FileStep::NewFile: reportError(file, "cannot write " + error.path, error.reason + "; nothing written"); break;
    case FileStep::Rename: reportError(file, "cannot rename to " + error.path, error.reason); break;
    case FileStep::None: reportError(file, "failed", error.reason); break;
    }
}

std::string bytesText(std::int64_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
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
