// Files dragged from Explorer and dropped on the main window.
#include "ui/app.h"

namespace {

// The full paths held by a drop, in UTF-8.
std::vector<std::string> droppedPaths(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT index = 0; index < count; ++index) {
        const UINT length = DragQueryFileW(drop, index, nullptr, 0);
        std::vector<wchar_t> name(length + 1, L'\0');
        if (DragQueryFileW(drop, index, name.data(), length + 1) == 0) continue;
        paths.push_back(utf8FromWide(name.data()));
    }
    return paths;
}

} // namespace

// Opens what was dropped like a file given on the command line. While a swap runs, or while
// any dialog of the window is open, the drop is refused with a beep: the ROM in use must
// not change under it.
void openDroppedFiles(HWND window, HDROP drop) {
    const std::vector<std::string> paths = droppedPaths(drop);
    DragFinish(drop);
    if (gSwapRunning || !IsWindowEnabled(window)) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    openGivenFiles(window, paths);
}
