#include "cli/json_output.h"

#include <CLI/CLI.hpp>

#include <cstdio>

#include "core/shown_text.h"

namespace {

// Which JSON form was asked for, if any.
enum class JsonForm { None, Document, Lines };

JsonForm jsonForm = JsonForm::None; // set once by --json or --json-lines
nlohmann::ordered_json document = nlohmann::ordered_json::array(); // the objects, in the order reported
nlohmann::ordered_json outcomeCounts = nlohmann::ordered_json::object(); // objects by outcome, as first met
int fileObjects = 0; // the objects of files, among the document's
const JsonEntryScope* entryScope = nullptr; // the archive entry being gone through, if any

// The bytes of text as upper-case hex, two digits each.
std::string hexOf(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (const char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        hex += digits[b >> 4];
        hex += digits[b & 0x0F];
    }
    return hex;
}

// JSON escapes only the C0 controls; DEL and the C1 controls would reach a terminal that
// shows the document as they are. Outside strings a document holds only ASCII, so each of
// them can be escaped wherever it stands.
std::string withControlsEscaped(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    char code[7];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        const bool c1 = b == 0xC2 && next >= 0x80 && next < 0xA0;
        if (b != 0x7F && !c1) {
            escaped += text[i];
            continue;
        }
        const unsigned codePoint = c1 ? next : b;
        if (c1) ++i;
        std::snprintf(code, sizeof code, "\\u%04x", codePoint);
        escaped += code;
    }
    return escaped;
}

// Prints value on standard output as JSON, on one line or indented, and hands the line to the
// system at once, so that a reader of --json-lines has each object when its file is done.
// Texts that are not UTF-8 have been shown before they were put in; a byte that slipped
// through would be replaced rather than make the output invalid.
void printJson(const nlohmann::ordered_json& value, int indent) {
    const std::string text = value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::fputs((withControlsEscaped(text) + "\n").c_str(), stdout);
    std::fflush(stdout);
}

} // namespace

void addJsonOptions(CLI::App& parser) {
    CLI::Option* json = parser.add_flag_callback(
        "--json", [] { jsonForm = JsonForm::Document; },
        "print one JSON array with an object per FILE instead of\n"
        "lines (failures are also told on standard error)");
    parser.add_flag_callback(
              "--json-lines", [] { jsonForm = JsonForm::Lines; },
              "print each FILE's JSON object on a line of its own once\n"
              "the FILE is done, then a closing object with the counts")
        ->excludes(json);
}

bool jsonOutput() {
    return jsonForm != JsonForm::None;
}

void addJsonObject(const JsonObject& object) {
    const std::string outcome = object.value("outcome", "");
    outcomeCounts[outcome] = outcomeCounts.value(outcome, 0) + 1;
    if (jsonForm == JsonForm::Lines)
        printJson(object, -1);
    else
        document.push_back(object);
}

void addFileObject(const std::string& file, const std::string& outcome, const JsonObject& fields) {
    JsonObject object = JsonObject::object();
    putPath(object, "file", file);
    object["outcome"] = outcome;
    if (entryScope) {
        putPath(object, "archive", entryScope->archive);
        putPath(object, "entry", entryScope->entry);
    }
    for (const auto& field : fields.items()) object[field.key()] = field.value();
    ++fileObjects;
    addJsonObject(object);
}

JsonEntryScope::JsonEntryScope(std::string archiveName, std::string entryName)
    : archive(std::move(archiveName)), entry(std::move(entryName)), outer_(entryScope) {
    entryScope = this;
}

JsonEntryScope::~JsonEntryScope() {
    entryScope = outer_;
}

void putPath(JsonObject& object, const std::string& key, const std::string& path) {
    object[key] = jsonText(path);
    if (!isUtf8(path)) object[key + "_hex"] = hexOf(path);
}

std::string jsonText(const std::string& text) {
    return isUtf8(text) ? text : shownText(text);
}

void printJsonDocument(int exitStatus) {
    if (jsonForm == JsonForm::Document) printJson(document, 2);
    if (jsonForm != JsonForm::Lines) return;
    printJson({{"summary", outcomeCounts}, {"files", fileObjects}, {"exit_status", exitStatus}}, -1);
}
