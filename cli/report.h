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
#include "identity/rom_identity.h"

// The program's name, which starts every message on standard error.
extern const char* const kProgramName;

// Exit statuses.
constexpr int kExitSuccess = 0; // every file succeeded
constexpr int kExitFailure = 1; // at least one file failed
constexpr int kExitUsage = 2;   // the arguments make no valid call

namespace CLI {
class App;
}

// Adds the options of the output that every command has: -q/--quiet, which silences the
// steps for the rest of the run (failures and summaries still show), --json and --json-lines
// (cli/json_output.h). A command that goes through files adds --progress and --no-progress
// too (cli/progress.h).
void addOutputOptions(CLI::App& parser);

// Whether the steps go to standard output: neither -q nor a JSON form was given.
bool stepsShown();

// Prints "FILE: text" on standard output, unless the steps are silenced or --json was given.
void reportStep(const std::string& file, const std::string& text);

// Whether the line of an outcome is a step, silenced by -q, or one that shows even then (a
// file check found wrong: -q leaves the lines that need the user).
enum class Shown { Step, EvenQuiet };

// Reports how a file ended, the one call for both forms: "FILE: text" as reportStep prints
// it, or with --json the file's object with outcome and fields after "file".
void reportOutcome(const std::string& file, const std::string& text, const std::string& outcome,
                   const nlohmann::ordered_json& fields, Shown shown = Shown::Step);

// Prints text, lines already shown safely, on standard output as reportStep would.
void reportBlock(const std::string& block);

// Prints a whole line on standard output, shown safely, unless the steps are
// silenced or --json was given (a line that is not about one file).
void reportLine(const std::string& line);

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

// Says, on standard error, what the update found pending beside file is and what finishes it.
void reportPending(const std::string& file, const PendingUpdate& pending);
// For the commands that must not take file for a ROM: when its first bytes say it is
// something else (an archive, a program), says so on standard error ("x.7z: a 7z archive,
// not a ROM" followed by consequence) and returns true.
bool reportIfNotRom(const std::string& file, const std::string& consequence);

// What reading a file for a command that describes it (info, check) came to.
enum class ReadForReport { Read, NotRom, Failed };

// Reads the identity of file as options ask, after refusing a file that holds an interrupted
// update or is not a ROM; each refusal, and a read that fails, is reported.
ReadForReport identifyForReport(const std::string& file, const IdentifyOptions& options, RomIdentity& identity);

// The same for a ROM read as a stream (an entry of an archive, named name): a read that
// fails is reported.
ReadForReport identifyForReport(const std::string& name, ByteSource& rom, const IdentifyOptions& options,
                                RomIdentity& identity);

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
