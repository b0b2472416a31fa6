// How dornavel-cli tells what it did: steps on standard output, failures on standard error.
#pragma once

#include <string>

#include "core/recovery_record.h"
#include "core/rom_file.h"

// The program's name, which starts every message on standard error.
extern const char* const kProgramName;

// Exit statuses.
constexpr int kExitSuccess = 0; // every file succeeded
constexpr int kExitFailure = 1; // at least one file failed
constexpr int kExitUsage = 2;   // the arguments make no valid call

// Prints "FILE: text" on standard output, unless the steps are silenced.
void reportStep(const std::string& file, const std::string& text);

// Prints a whole line on standard output, unless the steps are silenced.
void reportLine(const std::string& line);

// Silences reportStep for the rest of the run (--quiet): failures and summaries still show.
void silenceSteps();

// Prints "dornavel-cli: FILE: what: reason" on standard error.
void reportError(const std::string& file, const std::string& what, const std::string& reason);

// Prints "dornavel-cli: FILE: text" on standard error, for a problem that has no system reason.
void reportProblem(const std::string& file, const std::string& text);

// Prints "dornavel-cli: text" on standard error, for what concerns no one file.
void reportMessage(const std::string& text);

// "an interrupted conversion (big -> little)", or the rewrite of a few bytes.
std::string interruptedUpdateText(const RecordContents& contents);

// For the commands that only read: when file holds an interrupted update, says so and what
// finishes it, on standard error, and returns true; the file's bytes are then in no one
// order and must not be reported as if they were.
bool reportIfInterrupted(const std::string& file);

// Reports a failed step of a file update of file. backup names the backup written before
// the failure, or is empty when none was.
void reportFileError(const std::string& file, const FileError& error, const std::string& backup);

// Hands the last lines of standard output to the system; when any line could not be written
// (a full disk, a closed pipe), says so on standard error and returns false.
bool finishStandardOutput();
