// The --json form of every command: one JSON array on standard output with one object per
// file given or found, failures included, printed once the command has gone through them all.
//
// Every object starts with "file", the name as given or as FOLDER/.../NAME. A name that is
// not UTF-8 is given as the text output shows it (see core/shown_text.h), and "file_hex"
// then holds its bytes in hex, so the file can be found again. A failed file's object has
// "error", the message standard error shows after "FILE: ". The keys are listed in
// docs/json.md.
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

// Adds --json to the parser of a command; once given, jsonOutput() is true.
void addJsonOption(CLI::App& parser);

// Whether --json was given: then steps and summaries stay off standard output.
bool jsonOutput();

// Adds to the document the object of file: "file" (and "file_hex"), then fields in their order.
void addFileObject(const std::string& file, const JsonObject& fields);

// Puts path under key in object, and its bytes under key + "_hex" when it is not UTF-8.
void putPath(JsonObject& object, const std::string& key, const std::string& path);

// A text for a JSON string: as it is when UTF-8, else as the text output shows it.
std::string jsonText(const std::string& text);

// Prints the document when --json was given (an empty array when no file was reached).
void printJsonDocument();
