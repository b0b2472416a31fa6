#include "archive/archive.h"

#include "core/shown_text.h"

namespace {

// Whether name starts at the root of a disk: "/x", or a drive as in "C:" or "C:/x".
bool isAbsolute(const std::string& name) {
    if (!name.empty() && name[0] == '/') return true;
    const unsigned char first = name.size() >= 2 ? static_cast<unsigned char>(name[0]) : 0;
    return ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) && name[1] == ':';
}

// Whether one of the '/'-separated parts of name is "..".
bool climbsOut(const std::string& name) {
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return true;
        start = end + 1;
    }
    return false;
}

// Whether name holds a C0 control character or DEL (the C1 range is caught as UTF-8 below,
// since its characters are two bytes).
bool hasControl(const std::string& name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(name[i]);
        if (b < 0x20 || b == 0x7F) return true;
        // U+0080 to U+009F: C2 80 to C2 9F.
        if (b == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) < 0xA0) return true;
    }
    return false;
}

} // namespace

// A backslash is refused outright: on Windows it separates folders, so "..\x" climbs out.
NameProblem checkEntryName(const std::string& name) {
    if (name.empty()) return NameProblem::Empty;
    if (!isUtf8(name)) return NameProblem::NotUtf8;
    if (hasControl(name)) return NameProblem::ControlCharacter;
    if (name.find('\\') != std::string::npos) return NameProblem::Backslash;
    if (isAbsolute(name)) return NameProblem::Absolute;
    if (climbsOut(name)) return NameProblem::ParentFolder;
    return NameProblem::None;
}

const char* nameProblemText(NameProblem problem) {
    switch (problem) {
    case NameProblem::Empty: return "it has no name";
    case NameProblem::NotUtf8: return "its name is not UTF-8";
    case NameProblem::ControlCharacter: return "its name holds a control character";
    case NameProblem::Backslash: return "its name holds a backslash";
    case NameProblem::Absolute: return "its name is an absolute path";
    case NameProblem::ParentFolder: return "its name climbs out of its folder with \"..\"";
    case NameProblem::None: break;
    }
    return "";
}
