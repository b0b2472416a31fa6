#include "core/path_name.h"

bool isPathSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\' || c == ':';
#else
    return c == '/';
#endif
}

std::size_t nameStart(const std::string& path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (isPathSeparator(path[i - 1])) return i;
    return 0;
}

std::string nameOf(const std::string& path) {
    return path.substr(nameStart(path));
}

// The separators after the folder go, but not the one of a root ("/", "C:\") nor a drive's
// colon ("C:" is the drive's current folder).
std::string folderOf(const std::string& path) {
    std::string folder = path.substr(0, nameStart(path));
    if (folder.empty()) return ".";
    while (folder.size() > 1 && folder.back() != ':' && isPathSeparator(folder.back()) &&
           folder[folder.size() - 2] != ':')
        folder.pop_back();
    return folder;
}

std::string besideName(const std::string& path, const std::string& name) {
    return path.substr(0, nameStart(path)) + name;
}
