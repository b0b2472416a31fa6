#include "cli/console.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

// Only the console's code page changes; output sent to a file or a pipe is UTF-8 already.
Utf8Console::Utf8Console() {
#ifdef _WIN32
    const UINT current = GetConsoleOutputCP();
    if (current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) previousCodePage_ = current;
#endif
}

Utf8Console::~Utf8Console() {
#ifdef _WIN32
    if (previousCodePage_ != 0) SetConsoleOutputCP(previousCodePage_);
#endif
}
