// Where the new file of patch and make-patch goes: a new file at its path, a stream (the
// companion's standard output), or, in a dry run, nowhere once the path is found writable.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "core/rom_file.h"

// Writes all of bytes to a stream; false with reason set when they could not all be written.
using StreamWriter = std::function<bool(const unsigned char* bytes, std::size_t size, std::string& reason)>;

// How the new file is to be delivered.
struct NewFileOutput {
    std::string path;              // the new file; with a stream, only its name in the report
    StreamWriter stream = nullptr; // when set, the bytes go to it instead of a new file
    bool dryRun = false;           // write nothing: only check that path's folder can take the new name
};

// Delivers bytes as output asks: a new file through the core's writeNewFile (an existing one
// is never replaced), the stream, or in a dry run the check alone. False with error set (step
// NewFile) when it could not be.
bool deliverNewFile(const NewFileOutput& output, const unsigned char* bytes, std::size_t size, FileError& error);
