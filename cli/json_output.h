// The JSON forms of every command: with --json one JSON array on standard output with one
// object per file given or found, failures included, printed once the command has gone through
// them all; with --json-lines each object on a line of its own as soon as its file is done,
// then a closing object with the counts of the outcomes and the exit status.
//
// Every object starts with "file", the name as given or as FOLDER/.../NAME. A name that is
// not UTF-8 is given as the text output shows it (see core/shown_text.h), and "file_hex"
// then holds its bytes in hex, so the file can be found again. A failed file's object has
// "error", the message standard error shows after "FILE: ". Every object has "outcome", how
// the file ended ("failed" for a failure), in the same place: after "file". The keys are
// listed in docs/json.md.
//
// A command takes part with addJsonOption(*parser), and tells how each file ended once,
// through reportOutcome (cli/report.h: its text line or its object) or, where its text has
// a form of its own, addFileObject. Failures told through reportError, reportProblem and
// reportFileError become the file's object by themselves; a file gets exactly one object.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace CLI {
class App;
}

// An object of the document, with its keys in the order they were put in.
using JsonObject = nlohmann::ordered_json;

// Adds --json and --json-lines to the parser of a command; once either is given, jsonOutput()
// is true.
void addJsonOptions(CLI::App& parser);

// Whether --json or --json-lines was given: then steps and summaries stay off standard output.
bool jsonOutput();

// Adds to the document the object of file: "file" (and "file_hex"), "outcome", then fields in
// their order. With --json-lines the object is printed at once, on one line.
void addFileObject(const std::string& file, const std::string& outcome, const JsonObject& fields);

// While one lives, the objects added are of an entry of an archive: they get "archive" and
// "entry" (with "_hex" twins when not UTF-8) after "outcome"; "file" is ARCHIVE/ENTRY.
class JsonEntryScope {
public:
    JsonEntryScope(std::string archiveName, std::string entryName);
    ~JsonEntryScope();
    JsonEntryScope(const JsonEntryScope&) = delete;
    JsonEntryScope& operator=(const JsonEntryScope&) = delete;

    const std::string archive;
    const std::string entry;

private:
    const JsonEntryScope* outer_;
};

// Adds an object that is about no file (a game check --missing found no file of), as it is.
void addJsonObject(const JsonObject& object);

// Puts path under key in object, and its bytes under key + "_hex" when it is not UTF-8.
void putPath(JsonObject& object, const std::string& key, const std::string& path);

// A text for a JSON string: as it is when UTF-8, else as the text output shows it.
std::string jsonText(const std::string& text);

// Prints the document when --json was given (an empty array when no file was reached); with
// --json-lines, the closing object with the counts of the outcomes and exitStatus.
void printJsonDocument(int exitStatus);
