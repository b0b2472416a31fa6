#include "core/lazy_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Ends the program after telling which library or function the system lacks, and why.
[[noreturn]] void missing(const char* soname, const char* name) {
    const char* reason = dlerror();
    std::fprintf(stderr, "dornavel: cannot load %s from %s (%s); reinstall the package that holds it\n", name,
                 soname, reason ? reason : "no reason given");
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

void* LazyLibrary::symbol(const char* name) {
    std::call_once(opened_, [this] { handle_ = dlopen(soname_, RTLD_NOW | RTLD_LOCAL); });
    if (!handle_) missing(soname_, name);
    void* address = dlsym(handle_, name);
    if (!address) missing(soname_, name);
    return address;
}
