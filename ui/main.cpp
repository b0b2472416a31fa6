#include <windows.h>
#include <commctrl.h>

#include "resources/resource.h"
#include "ui/app.h"

HINSTANCE gInstance = nullptr;
bool gSwapRunning = false;

namespace {

// "Esegui Swap": only a loaded ROM can be swapped. Drops are refused while it runs.
void swapIfLoaded(HWND window) {
    if (!gLoadedRom.loaded) return;
    gSwapRunning = true;
    swapRom(window);
    gSwapRunning = false;
}

// Gives the main window the program's icon, in the sizes of the caption and of the task
// switcher (a dialog has no class icon of its own).
void showIcon(HWND window) {
    const int sizes[2][2] = {{SM_CXSMICON, SM_CYSMICON}, {SM_CXICON, SM_CYICON}};
    const WPARAM kinds[2] = {ICON_SMALL, ICON_BIG};
    for (int index = 0; index < 2; ++index) {
        HANDLE icon = LoadImageA(gInstance, MAKEINTRESOURCEA(IDI_DORNAVEL), IMAGE_ICON,
                                 GetSystemMetrics(sizes[index][0]),
                                 GetSystemMetrics(sizes[index][1]), LR_SHARED);
        SendMessageA(window, WM_SETICON, kinds[index], reinterpret_cast<LPARAM>(icon));
    }
}

// The main window's procedure: each button command goes to its handler. The close box and
// Alt+F4 end the program like "Esci"; Enter and Escape, which the dialog manager would turn
// into IDOK and IDCANCEL, do nothing. Files dropped from Explorer are opened.
INT_PTR CALLBACK mainProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        showIcon(window);
        DragAcceptFiles(window, TRUE);
        return TRUE;
    case WM_CLOSE:
        PostQuitMessage(0);
        return TRUE;
    case WM_DROPFILES:
        openDroppedFiles(window, reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_EXIT: PostQuitMessage(0); break;
        case IDC_LOAD: loadRom(window); break;
        case IDC_CLOSE: unloadRom(window); break;
        case IDC_SWAP: swapIfLoaded(window); break;
        case IDC_ABOUT: showAbout(window); break;
        default: break; // IDOK, IDCANCEL; the radio buttons check themselves
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// Registers the progress-bar class the main template uses.
void initCommonControls() {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);
}

} // namespace

// Creates the main window as a modeless dialog, shows it, opens a ROM named on the command
// line and runs the message loop until "Esci" or the close box posts the quit message.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) {
    gInstance = hInstance;
    initCommonControls();

    HWND window = CreateDialogParamA(gInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainProc, 0);
    if (!window) {
        showError(nullptr, "Non riesco a creare la finestra di Dornavel.\n\nMotivo: " +
                               windowsErrorText(GetLastError()));
        return 1;
    }
    ShowWindow(window, nCmdShow);
    openGivenFiles(window, commandLineFiles());

    MSG message;
    for (;;) {
        const BOOL result = GetMessageA(&message, nullptr, 0, 0);
        if (result == 0) return static_cast<int>(message.wParam);
        if (result == -1) return 1; // the loop cannot go on
        if (handleDialogKeys(window, message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
