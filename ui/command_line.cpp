// The files named on the program's command line, as Explorer's "Open with" and a drop on
// Dornavel.exe give them.
#include "ui/app.h"

namespace {

// The full path of a file named on the command line (it may be relative to the folder the
// program was started in), in UTF-8.
std::string fullPath(const wchar_t* name) {
    const DWORD length = GetFullPathNameW(name, 0, nullptr, nullptr);
    if (length == 0) return utf8FromWide(name);
    std::vector<wchar_t> full(length);
    if (GetFullPathNameW(name, length, full.data(), nullptr) >= length) return utf8FromWide(name);
    return utf8FromWide(full.data());
}

} // namespace

// The arguments after the program's own name, read in UTF-16 so that any file name arrives
// whole, as full paths in UTF-8. Empty arguments are left out.
std::vector<std::string> commandLineFiles() {
    std::vector<std::string> files;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) return files;
    for (int index = 1; index < count; ++index) {
        if (arguments[index][0] != L'\0') files.push_back(fullPath(arguments[index]));
    }
    LocalFree(arguments);
    return files;
}
