// Shared libraries opened on the first call that needs them. The companion reads 7z archives
// through libarchive, DATs through libxml2, digests through libcrypto and xdelta's lzma
// sections through liblzma; with their own libraries they are eighteen objects for the
// loader, which cost more at start (about 5 ms) than converting a small ROM. Most commands
// never call them, so they are not linked: each
// function used is defined in the library's own file (DORNAVEL_LAZY_FUNCTION), under the
// library's name for it, and reaches the real function through LazyLibrary on its first call.
#pragma once

#include <mutex>

// A shared library named by its soname (libarchive.so.13), opened on the first symbol asked.
class LazyLibrary {
public:
    explicit constexpr LazyLibrary(const char* soname) : soname_(soname) {}
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    // The address of the function called name. A library or function missing from the system
    // is a broken install: the program ends with a message naming both and exit status 1, as
    // the loader would have refused to start it (nothing of the call was written yet).
    void* symbol(const char* name);

private:
    const char* soname_;     // the name the loader looks for
    std::once_flag opened_;  // the library is opened once, whichever thread comes first
    void* handle_ = nullptr; // what dlopen gave
};

// Defines the library's function name (result name parameters) to call the real one, found in
// library on the first call. Arguments: the parameters' names, in parentheses.
#define DORNAVEL_LAZY_FUNCTION(library, result, name, parameters, arguments)                        \
    extern "C" result name parameters {                                                             \
        static const auto real = reinterpret_cast<decltype(&name)>(library.symbol(#name));          \
        return real arguments;                                                                      \
    }
