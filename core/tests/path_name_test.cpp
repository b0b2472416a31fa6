#include "core/path_name.h"

#include <gtest/gtest.h>

namespace {

// A path and the parts the system sees in it.
struct PathCase {
    const char* path;
    const char* folder; // folderOf
    const char* name;   // nameOf
};

// On every system "/" separates folders.
const PathCase kEverywhere[] = {
    {"mario.z64", ".", "mario.z64"},          // a bare name is in the current folder
    {"roms/mario.z64", "roms", "mario.z64"},
    {"/mario.z64", "/", "mario.z64"},         // the root keeps its slash
    {"roms//mario.z64", "roms", "mario.z64"}, // doubled separators are one
    {"//mario.z64", "/", "mario.z64"},
    {"/a.b/c", "/a.b", "c"},                  // a dot in a folder is no part of the name
    {"roms/", "roms", ""},
};

#ifdef _WIN32
// Windows also takes "\" and ends a drive with ":".
const PathCase kOnThisSystem[] = {
    {"roms\\Mario.z64", "roms", "Mario.z64"},
    {"C:\\roms\\Mario.z64", "C:\\roms", "Mario.z64"},
    {"C:\\Mario.z64", "C:\\", "Mario.z64"},        // the drive's root, not its current folder
    {"C:Mario.z64", "C:", "Mario.z64"},            // the drive's current folder
    {"\\\\server\\share\\a.v64", "\\\\server\\share", "a.v64"},
    {"roms/sub\\a.n64", "roms/sub", "a.n64"},
};
#else
// On POSIX systems a backslash is a character of the name like any other.
const PathCase kOnThisSystem[] = {
    {"roms\\Mario.z64", ".", "roms\\Mario.z64"},
    {"/tmp/roms\\Mario.z64", "/tmp", "roms\\Mario.z64"},
    {"C:\\Mario.z64", ".", "C:\\Mario.z64"},
    {"a\\b/c\\d", "a\\b", "c\\d"},
};
#endif

// Runs one table through folderOf, nameOf, nameStart and besideName.
void expectParts(const PathCase& c) {
    const std::string path = c.path;
    EXPECT_EQ(folderOf(path), c.folder) << path;
    EXPECT_EQ(nameOf(path), c.name) << path;
    EXPECT_EQ(path.substr(0, nameStart(path)) + nameOf(path), path) << path; // nothing lost between
    // The new name goes where the old one was, the folder written as it was.
    EXPECT_EQ(besideName(path, "x.v64"), path.substr(0, path.size() - std::string(c.name).size()) + "x.v64")
        << path;
}

TEST(PathName, SlashSeparatesEverywhere) {
    for (const PathCase& c : kEverywhere) expectParts(c);
}

TEST(PathName, SeparatorsOfThisSystem) {
    for (const PathCase& c : kOnThisSystem) expectParts(c);
}

} // namespace
