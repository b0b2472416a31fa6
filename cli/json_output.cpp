#include "cli/json_output.h"

#include <CLI/CLI.hpp>

#include <cstdio>

#include "core/shown_text.h"

namespace {

bool jsonGiven = false; // set once by --json
nlohmann::ordered_json document = nlohmann::ordered_json::array(); // the objects, in the order reported

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

} // namespace

void addJsonOption(CLI::App& parser) {
    parser.add_flag_callback(
        "--json", [] { jsonGiven = true; },
        "print one JSON array with an object per FILE instead of\n"
        "lines (failures are also told on standard error)");
}

bool jsonOutput() {
    return jsonGiven;
}

void addFileObject(const std::string& file, const JsonObject& fields) {
    JsonObject object = JsonObject::object();
    putPath(object, "file", file);
    for (const auto& field : fields.items()) object[field.key()] = field.value();
    document.push_back(std::move(object));
}

void putPath(JsonObject& object, const std::string& key, const std::string& path) {
    object[key] = jsonText(path);
    if (!isUtf8(path)) object[key + "_hex"] = hexOf(path);
}

std::string jsonText(const std::string& text) {
    return isUtf8(text) ? text : shownText(text);
}

// Texts that are not UTF-8 have been shown before they were put in; a byte that slipped
// through would be replaced rather than make the whole document invalid.
void printJsonDocument() {
    if (!jsonGiven) return;
    const std::string text = document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::fputs((withControlsEscaped(text) + "\n").c_str(), stdout);
}
