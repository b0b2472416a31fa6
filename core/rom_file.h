// The facts every update of a ROM file shares: the steps that can fail and what a failure
// tells, the largest ROM handled, the name of the backup.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/byte_order.h"
#include "core/file_kind.h"
#include "core/file_ops.h"

// The step of a file update that failed.
enum class FileStep {
    None,       // no failure
    Open,       // the ROM could not be opened for update
    Busy,       // another program holds it for writing (another run, the window)
    Links,      // it has several names (hard links), and is not written in place
    NotRom,     // its first bytes say it is something else (an archive, a program): kind says what
    Recovery,   // an interrupted update found beside it could not be brought to an end
    Size,       // its size could not be measured
    TooLarge,   // it is 2 GiB or larger
    Allocate,   // no memory for the image
    Read,       // it could not be read whole
    Backup,     // the backup could not be written
    Record,     // the recovery record could not be written or removed
    WriteBack,  // the converted image could not be written, flushed or made durable
    Close,      // the ROM could not be closed cleanly
    Changed,    // another program replaced the file or changed its size while it was written
    NewFile,    // a new file (a patched ROM) could not be written
    Rename      // the file could not be given its new name (path): the name is refused or taken
};

// What the ROM holds after a failed write-back.
enum class RomState {
    Unchanged, // no byte of it was changed
    Restored,  // bytes were changed, then all put back as they were, on the disk
    Mixed      // its first mixedBytes bytes may be in the new order, the rest is in the old
};

// What went wrong in a file update: the step, the file it concerns and the system's reason;
// for a write-back, also the state the ROM was left in.
struct FileError {
    FileStep step = FileStep::None;
    std::string path;
    std::string reason;
    RomState rom = RomState::Unchanged;
    FileKind kind = FileKind::Unrecognised; // with NotRom: what the file is
    std::int64_t mixedBytes = 0;  // with Mixed: how far the new order may reach
    std::string restoreReason;    // with Mixed: why the old bytes could not be put back
};

// Told, after each slice of a write-back, how many of the image's bytes are written.
using WriteProgress = std::function<void(std::int64_t written, std::int64_t total)>;

// The largest ROM handled, read, patched or unpacked: sizes are signed 32-bit counts.
constexpr std::int64_t kMaxRomSize = INT32_MAX;

// Recognises the order of the file at path from its first byte. None when the file is
// empty or not recognised (error.step None), cannot be opened or read (Read, with the
// system's reason), or says by its first bytes that it is not a ROM (NotRom, with the kind
// and notARomText's words).
ByteOrder detectByteOrder(const std::string& path, FileError& error);
ByteOrder detectByteOrder(const std::string& path);

// The name of the backup of the ROM at path: the path with ".bak" appended.
std::string backupPath(const std::string& path);

// Fills error with the failed step, the system's reason and the file it concerns; false, for
// the caller to pass on.
bool failFileStep(FileError& error, FileStep step, const std::string& reason, const std::string& path);
