#include <cstring>

#include "actions/finish_update.h"

#include "resources/resource.h"
#include "ui/app.h"

LoadedRom gLoadedRom;
OpenFileRecord gOpenFile;

namespace {

// The single filter of the open-file dialog, ended by an empty string.
const char kRomFilter[] = "N64 ROM File  (*.bin, *.rom, *.*64, *.zip, *.7z, *.gz)\0*.bin;*.rom;*.*64;*.zip;*.7z;*.gz\0";

// The radio button that stands for order, or 0 for None.
int radioOf(ByteOrder order) {
    switch (order) {
    case ByteOrder::LittleEndian: return IDC_TO_LITTLE;
    case ByteOrder::DoctorV64: return IDC_TO_V64;
    case ByteOrder::BigEndian: return IDC_TO_BIG;
    case ByteOrder::None: break;
    }
    return 0;
}

// Clears the check marks of the three radio buttons; checking one from the program does not
// clear the others.
void uncheckRadios(HWND window) {
    SendDlgItemMessageA(window, IDC_TO_LITTLE, BM_SETCHECK, BST_UNCHECKED, 0);
    SendDlgItemMessageA(window, IDC_TO_V64, BM_SETCHECK, BST_UNCHECKED, 0);
    SendDlgItemMessageA(window, IDC_TO_BIG, BM_SETCHECK, BST_UNCHECKED, 0);
}

// The Italian text for an open-file dialog that failed, with its error code.
std::string dialogErrorText(DWORD code) {
    char hex[16];
    wsprintfA(hex, "0x%04lX", static_cast<unsigned long>(code));
    return std::string("Non riesco ad aprire la finestra per scegliere la ROM.\n\nCodice di errore: ") +
           hex;
}

} // namespace

// Sets the caption: the program's name, followed by the ROM's title when there is one.
void showCaption(HWND window, const std::string& title) {
    const std::string caption = title.empty() ? std::string("Dornavel") : "Dornavel - " + title;
    SetWindowTextA(window, caption.c_str());
}

// Makes order the current one and shows it: its label and its radio button, or the
// unknown-format text and no radio button for None.
void showOrder(HWND window, ByteOrder order) {
    uncheckRadios(window);
    gLoadedRom.order = order;
    if (order == ByteOrder::None) {
        SetDlgItemTextA(window, IDC_ORDER_TEXT, kUnknownFormatText);
        keepRadioGroupReachable(window);
        return;
    }
    SetDlgItemTextA(window, IDC_ORDER_TEXT, orderLabel(order));
    SendDlgItemMessageA(window, radioOf(order), BM_SETCHECK, BST_CHECKED, 0);
}

// Recognises the loaded ROM from its first byte and shows its order. Returns why the file
// could not be read, or an empty string when it was read (recognised or not).
std::string showDetectedOrder(HWND window) {
    if (showArchivedRom(window)) return std::string();
    FileError error;
    showOrder(window, detectByteOrder(gLoadedRom.path, error));
    return error.step == FileStep::Read ? error.reason : std::string();
}

// "Carica ROM": lets the user choose a ROM, shows its name and its byte order.
void loadRom(HWND window) {
    OPENFILENAMEA& params = gOpenFile.params;
    params = OPENFILENAMEA();
    params.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    params.hwndOwner = window;
    params.hInstance = gInstance;
    params.lpstrFilter = kRomFilter;
    params.lpstrFile = gOpenFile.file;
    params.nMaxFile = kPathChars;
    params.lpstrFileTitle = gOpenFile.title;
    params.nMaxFileTitle = kPathChars;
    params.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;

    if (!GetOpenFileNameA(&params)) {
        gLoadedRom.path.clear();
        const DWORD failure = CommDlgExtendedError();
        if (failure != 0) showError(window, dialogErrorText(failure));
        return;
    }
    loadRomFile(window, gOpenFile.file, gOpenFile.title);
}

// Loads the ROM at path, named title, whichever way it was chosen: finishes an update of it
// that was stopped halfway, shows its name and its byte order. A file that cannot be read or
// brought to one whole order is told and stays loaded, shown as unknown; the result is false
// then.
bool loadRomFile(HWND window, const std::string& path, const std::string& title) {
    gLoadedRom.path = path;
    gLoadedRom.title = title;
    showCaption(window, gLoadedRom.title);
    EnableWindow(GetDlgItem(window, IDC_CLOSE), TRUE);
    handOverFocus(window, IDC_LOAD, IDC_CLOSE);
    EnableWindow(GetDlgItem(window, IDC_LOAD), FALSE);
    gLoadedRom.loaded = true;
    if (!finishInterruptedUpdate(window, path)) {
        showOrder(window, ByteOrder::None); // its bytes are in no one order
        return false;
    }
    const std::string reason = showDetectedOrder(window);
    if (reason.empty()) return true;
    showError(window, "Non riesco a leggere la ROM per capire in che ordine sono i byte:\n" +
                          gLoadedRom.path + "\n\nMotivo: " + reason);
    return false;
}

// A ROM whose last update was stopped halfway is brought to its end before it is shown, so
// that the window never shows a half-converted file as if it were in one order. Returns
// false (the user told why) when that could not be done.
bool finishInterruptedUpdate(HWND window, const std::string& path) {
    const FinishReport report = finishPendingUpdate(path);
    if (report.done) {
        if (report.pending.found()) showNotice(window, finishedUpdateText(report.pending.contents, path));
        return true;
    }
    if (report.error.step == FileStep::Close) {
        if (report.pending.found()) showNotice(window, finishedUpdateText(report.pending.contents, path));
        return showError(window, fileErrorText(report.error)), false;
    }
    showError(window, fileErrorText(report.error) + "\n\nLa ROM è rimasta a metà: non la converto finché non si sistema.");
    return false;
}

// Makes the next open-file dialog offer path, as if it had been chosen there.
void rememberForDialog(const std::string& path) {
    if (path.size() < kPathChars) std::memcpy(gOpenFile.file, path.c_str(), path.size() + 1);
}

// Makes the record follow a renamed ROM: its new path and title, shown in the caption; the
// next open-file dialog offers the new path.
void followRename(HWND window, const std::string& path, const std::string& title) {
    gLoadedRom.path = path;
    gLoadedRom.title = title;
    rememberForDialog(path);
    showCaption(window, title);
}

// "Chiudi ROM": empties the window and makes a new load possible. The record keeps the
// path, title and order of the ROM that was closed.
void unloadRom(HWND window) {
    SetDlgItemTextA(window, IDC_ORDER_TEXT, "");
    uncheckRadios(window);
    keepRadioGroupReachable(window);
    EnableWindow(GetDlgItem(window, IDC_LOAD), TRUE);
    handOverFocus(window, IDC_CLOSE, IDC_LOAD);
    EnableWindow(GetDlgItem(window, IDC_CLOSE), FALSE);
    showCaption(window, std::string());
    gLoadedRom.loaded = false;
    gLoadedRom.entry.clear();
}
