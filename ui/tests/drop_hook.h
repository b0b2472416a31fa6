// What the window tests and drop_hook.dll agree on.
#pragma once

#include <windows.h>

#include <string>

// The message the tests send to the main window to ask for a drop: wParam is the size in
// bytes of the paths to drop, lParam the id of the test's process. The paths lie in the
// shared memory named by dropMemoryName, in UTF-16, each ended by a zero and the list by
// one more.
inline UINT dropRequestMessage() {
    return RegisterWindowMessageA("DornavelTestDropRequest");
}

// The name of the shared memory holding the paths of a test process's drop.
inline std::string dropMemoryName(DWORD processId) {
    return "DornavelTestDrop." + std::to_string(processId);
}

// The hook procedure's exported name.
const char* const kDropHookName = "dropHookProc";
