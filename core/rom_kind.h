// The look every writer of a ROM takes before its first write: a file whose first bytes say
// it is something else (an archive, a picture, a program) is refused, whatever order it is
// taken to be in (--from, the window's "take it as big-endian").
#pragma once

#include "core/rom_update.h"

// Reads, under the lock of the open update, the first bytes of its file; refuses it as
// FileStep::NotRom (error.kind says what it is) when they are another kind's signature. A
// failed read is FileStep::Read. True when the file may be a ROM. Nothing is written.
bool refuseNonRom(RomUpdate& update, FileError& error);
