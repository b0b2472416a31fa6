// The keyboard in the main window: the dialog manager moves the focus with Tab, Shift+Tab
// and the arrow keys, and Space presses the focused button.
#include "resources/resource.h"
#include "ui/app.h"

namespace {

// Whether message is Enter or Escape for the main window or one of its controls. The
// dialog manager would turn them into a press of the default button or into the cancel
// command; in this window they must start nothing, neither a swap nor the end.
bool isIgnoredKey(HWND window, const MSG& message) {
    if (message.message != WM_KEYDOWN && message.message != WM_KEYUP && message.message != WM_CHAR)
        return false;
    if (message.wParam != VK_RETURN && message.wParam != VK_ESCAPE) return false;
    return message.hwnd == window || IsChild(window, message.hwnd);
}

} // namespace

// Lets the dialog manager handle a message of the main window's loop. True when the message
// is dealt with (dispatched or ignored), false when it belongs to no dialog.
bool handleDialogKeys(HWND window, MSG& message) {
    if (isIgnoredKey(window, message)) return true;
    return IsDialogMessageA(window, &message) != FALSE;
}

// Moves the focus from the control from, about to be disabled, to the control to: a
// disabled control would otherwise keep the focus and the keyboard would reach nothing.
void handOverFocus(HWND window, int from, int to) {
    if (GetFocus() != GetDlgItem(window, from)) return;
    SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, to)), TRUE);
}

// Makes sure Tab can reach the radio group. A radio button is a tab stop while it is
// checked and loses the stop when unchecked, so with none checked the group would be
// skipped: the first button then takes the stop.
void keepRadioGroupReachable(HWND window) {
    for (int id : {IDC_TO_LITTLE, IDC_TO_V64, IDC_TO_BIG}) {
        if (GetWindowLongPtrA(GetDlgItem(window, id), GWL_STYLE) & WS_TABSTOP) return;
    }
    HWND first = GetDlgItem(window, IDC_TO_LITTLE);
    SetWindowLongPtrA(first, GWL_STYLE, GetWindowLongPtrA(first, GWL_STYLE) | WS_TABSTOP);
}
