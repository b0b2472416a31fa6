// The few file operations the standard streams do not offer portably.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The system's text for an errno value.
std::string systemReason(int errnoValue);

// The size of an open stream in bytes, measured by seeking to its end and back to the
// start; -1 when it cannot be measured (errno says why).
std::int64_t streamSize(std::FILE* file);

// Hands the stream's buffered bytes to the system and waits until they are on the disk.
// Returns false with errno set when either step fails.
bool flushToDisk(std::FILE* file);

// Renames from to to, failing (with reason) instead of replacing an existing file of the
// new name.
bool renameNoReplace(const std::string& from, const std::string& to, std::string& reason);
