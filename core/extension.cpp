#include "core/extension.h"

#include "core/file_system.h"

namespace {

// Where the last path component of name starts.
std::size_t lastComponentStart(const std::string& name) {
#ifdef _WIN32
    const char* separators = "\\/:";
#else
    const char* separators = "/";
#endif
    const std::size_t slash = name.find_last_of(separators);
    return slash == std::string::npos ? 0 : slash + 1;
}

} // namespace

// Only the extension of the file's own name is replaced: a dot in a folder name, or a
// name without any dot, never costs characters of the folder or the name.
std::string correctedName(const std::string& name, ByteOrder order) {
    const std::size_t start = lastComponentStart(name);
    const std::size_t dot = name.find_last_of('.');
    const std::size_t stemEnd = (dot != std::string::npos && dot >= start) ? dot : name.size();
    return name.substr(0, stemEnd) + orderExtension(order);
}

ExtensionResult correctExtension(const std::string& path, const std::string& title,
                                 ByteOrder order) {
    ExtensionResult result;
    result.path = path;
    result.title = title;
    const std::string newPath = correctedName(path, order);
    if (newPath == path) {
        result.renamed = true; // already named for its order
        return result;
    }
    if (!renameNoReplace(path, newPath, result.reason)) return result;
    result.renamed = true;
    result.path = newPath;
    result.title = correctedName(title, order);
    return result;
}
