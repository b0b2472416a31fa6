// Small file helpers built on the core's file operations.
#pragma once

#include <cstdint>
#include <string>

// The C runtime's text for an errno value.
std::string systemReason(int errnoValue);

#ifdef _WIN32
// The system's text for a Windows error code, in the user's language.
std::string windowsErrorText(unsigned long code);
#endif

// Renames from to to, failing (with reason) instead of replacing an existing file of the
// new name. Where the file system cannot rename that way, a hard link to the new name
// (which fails if the name exists) followed by removing the old name does the same.
bool renameNoReplace(const std::string& from, const std::string& to, std::string& reason);

// Whether this process may write a file of size bytes; reason says why not (the file size
// limit, ulimit -f), so that a write past it is refused before it begins.
bool withinSizeLimit(std::int64_t size, std::string& reason);

// Whether the name other leads to the very file at path (a link, or another hard link of it).
bool sameFile(const std::string& path, const std::string& other);

// The path that a chain of symbolic links at the end of path leads to (path itself where
// it is no link): a file's own folder, whatever name it was given by.
std::string pathLinksLeadTo(const std::string& path);
