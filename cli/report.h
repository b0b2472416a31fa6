// How dornavel-cli tells what it did: steps on standard output, failures on standard error;
// with --json, one JSON array on standard output instead of the steps (cli/json_output.h).
//
// Every name and message is printed as shownText (core/shown_text.h) shows it: a control
// character or a byte that is not UTF-8 becomes an escape such as \x1B, \n or \xFF, so each
// file gets exactly one line and nothing in a name reaches the terminal as a command. Callers
// hand these functions the names as they are.
#pragma once

#include <cstdint>
#include <string>

#include "core/recovery_record.h"
#include <nlohmann/json_fwd.hpp>

#include "core/rom_file.h"

// The program's name, which starts every message on standard error.
extern const char* const kProgramName;

// Exit statuses.
constexpr int kExitSuccess = 0; // every file succeeded
constexpr int kExitFailure = 1; // at least one file failed
constexpr int kExitUsage = 2;   // the arguments make no valid call

// Prints "FILE: text" on standard output, unless the steps are silenced or --json was given.
void reportStep(const std::string& file, const std::string& text);

// Reports how a file ended, the one call for both forms: "FILE: text" as reportStep prints
// it, or with --json the file's object with fields after "file".
void reportOutcome(const std::string& file, const std::string& text, const nlohmann::ordered_json& fields);

// Prints a whole line on standard output, shown safely, unless the steps are
// silenced or --json was given (a line that is not about one file).
void reportLine(const std::string& line);

// Silences reportStep for the rest of the run (--quiet): failures and summaries still show.
void silenceSteps();

// Prints "dornavel-cli: FILE: what: reason" on standard error; with --json the file's object
// is {"file": FILE, "error": "what: reason"}.
void reportError(const std::string& file, const std::string& what, const std::string& reason);

// Prints "dornavel-cli: FILE: text" on standard error, for a problem that has no system
// reason; with --json the file's object is {"file": FILE, "error": text}.
void reportProblem(const std::string& file, const std::string& text);

// Prints "dornavel-cli: text" on standard error, for what concerns no one file.
void reportMessage(const std::string& text);

// "an interrupted conversion (big -> little)", or the rewrite of a few bytes.
std::string interruptedUpdateText(const RecordContents& contents);

// For the commands that only read: when file holds an interrupted update, says so and what
// finishes it, on standard error, and returns true; the file's bytes are then in no one
// order and must not be reported as if they were.
bool reportIfInterrupted(const std::string& file);
// For the commands that must not take file for a ROM: when its first bytes say it is
// something else (an archive, a program), says so on standard error ("x.7z: a 7z archive,
// not a ROM" followed by consequence) and returns true.
bool reportIfNotRom(const std::string& file, const std::string& consequence);

// Prints "dornavel-cli: FILE: warning: what: reason" on standard error, about a file the
// command does not go through (a catalogue); it never becomes an object of the JSON.
void reportWarning(const std::string& file, const std::string& what, const std::string& reason);

// Reports a failed step of a file update of file. backup names the backup written before
// the failure, or is empty when none was.
void reportFileError(const std::string& file, const FileError& error, const std::string& backup);

// "1 byte", "0 bytes", "4096 bytes".
std::string bytesText(std::int64_t count);

// Hands the last lines of standard output to the system; when any line could not be written
// (a full disk, a closed pipe), says so on standard error and returns false.
bool finishStandardOutput();
