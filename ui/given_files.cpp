// Files handed to the window from outside, on the command line ("Open with" in Explorer) or
// dropped on it: the first is loaded the way "Carica ROM" loads a ROM.
#include "resources/resource.h"
#include "ui/app.h"

namespace {

// The name of the file at path, without its folder: what the open-file dialog gives as title.
std::string fileTitle(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether path names an existing folder.
bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

// A UTF-16 text from the system (a file name) in UTF-8, the code page of the 8-bit calls.
std::string utf8FromWide(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string converted(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &converted[0], size, nullptr, nullptr);
    converted.pop_back(); // the terminating zero
    return converted;
}

// Opens the first of paths in place of the loaded ROM, as "Chiudi ROM" then "Carica ROM"
// would. The window takes one ROM at a time, so the user hears when more were given. A
// folder is refused and leaves the window as it was; a file that cannot be read is told
// and leaves the window empty.
void openGivenFiles(HWND window, const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    const std::string& path = paths.front();
    if (paths.size() > 1)
        showNotice(window, "Apro una ROM alla volta: prendo solo la prima,\n" + path +
                               "\n\nPer convertirne tante insieme usa dornavel-cli.");
    if (isFolder(path)) {
        showError(window, "Mi hai dato una cartella, non una ROM:\n" + path +
                              "\n\nIo apro solo file di ROM, uno alla volta.");
        return;
    }
    if (gLoadedRom.loaded) unloadRom(window);
    rememberForDialog(path);
    if (!loadRomFile(window, path, fileTitle(path))) unloadRom(window);
}
