// The few file operations the standard streams do not offer portably.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// The system's text for an errno value.
std::string systemReason(int errnoValue);

// The size of an open stream in bytes, measured by seeking to its end and back to the
// start; -1 when it cannot be measured (errno says why).
std::int64_t streamSize(std::FILE* file);

// Memory for a whole ROM image of size bytes, uninitialised; null when there is none. Large
// images are placed so that the system can back them with huge pages, which spares most of
// the page faults of filling them.
unsigned char* allocateImageBytes(std::size_t size);

// Gives back memory from allocateImageBytes (null is allowed).
void freeImageBytes(unsigned char* bytes);

// Asks the system to start writing the given range of the stream's file to the disk now,
// without waiting, so that the disk works while the rest is still being written. The bytes
// must already have been flushed from the stream. Does nothing where there is no such call.
void startWriteOut(std::FILE* file, std::int64_t offset, std::int64_t length);

// Hands the stream's buffered bytes to the system and waits until they are on the disk.
// Returns false with errno set when either step fails.
bool flushToDisk(std::FILE* file);

// Renames from to to, failing (with reason) instead of replacing an existing file of the
// new name.
bool renameNoReplace(const std::string& from, const std::string& to, std::string& reason);
