// Where a path's folder ends and the file's own name begins. On POSIX systems only "/"
// separates folders, so a name may hold a backslash ("roms\Mario.z64" is one file); on
// Windows "\" and "/" both separate folders, and "C:" ends a drive.
#pragma once

#include <cstddef>
#include <string>

// Whether c ends a folder in a path on this system.
bool isPathSeparator(char c);

// Where the file's own name starts in path: after its last separator, or 0.
std::size_t nameStart(const std::string& path);

// The file's own name: path without its folder.
std::string nameOf(const std::string& path);

// The folder of path, as the system takes it: "." for a bare name, "/" (or "C:\" on
// Windows) for a file at the root, the folder without its trailing separators otherwise.
std::string folderOf(const std::string& path);

// The path of name in the folder of path, written as path writes its folder.
std::string besideName(const std::string& path, const std::string& name);
