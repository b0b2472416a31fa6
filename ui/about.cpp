#include <windows.h>
#include <shellapi.h>

#include "resources/resource.h"
#include "ui/app.h"

namespace {

// The pages behind the two link buttons of the about box.
const char* const kLink1Address = "https://www.example.com/";
const char* const kLink2Address = "https://www.example.org/";

// Opens address in the user's web browser, maximised; the about box stays open.
void openLink(HWND box, const char* address) {
    ShellExecuteA(box, "open", address, nullptr, nullptr, SW_SHOWMAXIMIZED);
}

// The about box's procedure: "Quanto mi importa", Escape and the close box end it, the two
// link buttons open their pages.
INT_PTR CALLBACK aboutProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL: EndDialog(box, 0); break;
        case IDC_LINK1: openLink(box, kLink1Address); break;
        case IDC_LINK2: openLink(box, kLink2Address); break;
        default: break;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

// "About": shows the credits as a modal box owned by the main window.
void showAbout(HWND window) {
    DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_ABOUT), window, aboutProc, 0);
}
