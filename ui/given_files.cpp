// Files handed to the window from outside, on the command line ("Open with" in Explorer) or
// dropped on it: the first is loaded the way "Carica ROM" loads a ROM, and a patch among them
// is offered for it.
#include "core/path_name.h"
#include "resources/resource.h"
#include "ui/app.h"

namespace {

// Whether path names an existing folder.
bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Of two files given together, the ROM and the patch, when exactly one of them is a patch.
bool splitRomAndPatch(const std::vector<std::string>& paths, std::string& rom, std::string& patch) {
    if (paths.size() != 2) return false;
    const bool firstIsPatch = isPatchFile(paths[0]);
    if (firstIsPatch == isPatchFile(paths[1])) return false;
    rom = paths[firstIsPatch ? 1 : 0];
    patch = paths[firstIsPatch ? 0 : 1];
    return true;
}

// Loads the ROM at path in place of the loaded one, as "Chiudi ROM" then "Carica ROM" would;
// false when it could not be read (the window is then left empty) or is a folder (refused,
// the window left as it was).
bool openRom(HWND window, const std::string& path) {
    if (isFolder(path)) {
        showError(window, "Mi hai dato una cartella, non una ROM:\n" + path +
                              "\n\nIo apro solo file di ROM, uno alla volta.");
        return false;
    }
    if (gLoadedRom.loaded) unloadRom(window);
    rememberForDialog(path);
    if (loadRomFile(window, path, nameOf(path))) return true;
    unloadRom(window);
    return false;
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

// Opens what was given: a ROM, a ROM and a patch (in either order: the ROM is loaded, then
// the patch offered), or a patch alone for the loaded ROM. The window takes one ROM at a
// time, so the user hears when more were given, and the first is loaded.
void openGivenFiles(HWND window, const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    std::string rom = paths.front(), patch;
    if (paths.size() == 1 && isPatchFile(rom)) {
        if (gLoadedRom.loaded) return offerPatch(window, rom);
        showError(window, "Questa è una patch, non una ROM:\n" + rom +
                              "\n\nPrima carica la ROM a cui applicarla, poi trascinaci sopra la patch.");
        return;
    }
    if (!splitRomAndPatch(paths, rom, patch) && paths.size() > 1)
        showNotice(window, "Apro una ROM alla volta: prendo solo la prima,\n" + rom +
                               "\n\nPer convertirne tante insieme usa dornavel-cli.");
    if (openRom(window, rom) && !patch.empty()) offerPatch(window, patch);
}
