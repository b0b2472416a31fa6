// Libraries opened on first use: the real function is found, and a missing library or
// function ends the program with a message naming both.
#include <gtest/gtest.h>

#include <zlib.h>

#include "core/lazy_library.h"

namespace {

// zlib is linked already: the function found through the library is the one linked.
TEST(LazyLibrary, FindsTheRealFunction) {
    LazyLibrary zlib("libz.so.1");
    const auto version = reinterpret_cast<const char* (*)()>(zlib.symbol("zlibVersion"));
    EXPECT_STREQ(version(), zlibVersion());
}

// A broken install: exit status 1 and a message naming the function and the library.
TEST(LazyLibraryDeathTest, EndsTheProgramWhenSomethingIsMissing) {
    LazyLibrary absent("libdornavel-absent.so.0");
    EXPECT_EXIT(absent.symbol("f"), testing::ExitedWithCode(1), "cannot load f from libdornavel-absent\\.so\\.0");
    LazyLibrary zlib("libz.so.1");
    EXPECT_EXIT(zlib.symbol("noSuchFunction"), testing::ExitedWithCode(1),
                "cannot load noSuchFunction from libz\\.so\\.1 \\(.*noSuchFunction");
}

} // namespace
