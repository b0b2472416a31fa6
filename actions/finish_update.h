// Bringing an update that was stopped halfway to its end, and nothing else: what the window
// does to a ROM it loads, so that it never shows a half-converted file as if it were in one
// order. (A conversion or a fix does the same first, on its own road.)
#pragma once

#include <string>

#include "core/recovery_record.h"
#include "core/rom_file.h"

// What the finish found and did.
struct FinishReport {
    bool done = false;     // no update is pending any more (none was, or it was finished)
    PendingUpdate pending; // the update found beside the file, when one was
    FileError error;       // when not done: why, and the record concerned
};

// Finishes the update found pending beside the ROM at path, under the ROM's lock.
FinishReport finishPendingUpdate(const std::string& path);
