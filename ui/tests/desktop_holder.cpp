// Holds Wine's desktop for a whole test run. Wine starts the desktop's own process for the
// first program that needs the desktop, hands it that program's standard error, and ends it
// a second after the last other program on the desktop has ended. Between two tests the
// desktop may so close, and the next test to open it lends its output to the new desktop
// process, which keeps it open for as long as other tests keep the desktop busy: CTest,
// waiting for that output to end, takes the finished test as hung. Started before the tests,
// with no standard error, this program opens the desktop and keeps it open until the run
// ends it.
#include <windows.h>

#include <cstdio>

// Opens the desktop (starting its process now), says so on standard output for the script
// that waits for it, and waits to be ended.
int main() {
    if (!GetDesktopWindow()) {
        std::fprintf(stderr, "desktop_holder: no desktop window\n");
        return 1;
    }
    std::printf("desktop open\n");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
