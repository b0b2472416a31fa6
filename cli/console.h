// The console the program writes to.
#pragma once

// While it lives, a Windows console shows the program's output as UTF-8, the encoding of
// the file names it prints; the console's own code page comes back when it ends. Elsewhere
// it does nothing.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned int previousCodePage_ = 0; // 0: nothing to restore
};
