// drop_hook.dll: the half of the tests' drop that runs inside Dornavel.exe. A drop handle is
// global memory of the process that receives it, as the system builds it there when files
// are dropped from Explorer; a test program cannot post one of its own. The tests install
// this message hook on the program's thread, put the file names in shared memory and send
// the request message; the hook builds the DROPFILES block in the program's global memory
// and posts WM_DROPFILES to the window, which reads and frees it with the usual
// DragQueryFile and DragFinish.
#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "drop_hook.h"

namespace {

// Posts to window a drop of the names, a list of UTF-16 paths each ended by a zero and the
// whole by one more, of the given size in bytes.
void postDrop(HWND window, const void* names, size_t size) {
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + size);
    DROPFILES* header = memory ? static_cast<DROPFILES*>(GlobalLock(memory)) : nullptr;
    if (!header) return;
    header->pFiles = sizeof(DROPFILES);
    header->pt = POINT{20, 20}; // in the window's client area
    header->fNC = FALSE;
    header->fWide = TRUE;
    std::memcpy(header + 1, names, size);
    GlobalUnlock(memory);
    if (!PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0)) GlobalFree(memory);
}

// Reads the names a test process left in shared memory and drops them on window.
void dropFromTest(HWND window, size_t size, DWORD testProcessId) {
    HANDLE shared = OpenFileMappingA(FILE_MAP_READ, FALSE, dropMemoryName(testProcessId).c_str());
    if (!shared) return;
    if (const void* names = MapViewOfFile(shared, FILE_MAP_READ, 0, 0, size)) {
        postDrop(window, names, size);
        UnmapViewOfFile(names);
    }
    CloseHandle(shared);
}

} // namespace

// Watches the messages sent to the program's windows for the tests' drop requests.
extern "C" __declspec(dllexport) LRESULT CALLBACK dropHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const CWPSTRUCT& call = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (call.message == dropRequestMessage())
            dropFromTest(call.hwnd, static_cast<size_t>(call.wParam), static_cast<DWORD>(call.lParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
