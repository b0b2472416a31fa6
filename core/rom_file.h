// The file side of a conversion: read a whole ROM, write its backup, write it back in place.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/file_kind.h"
#include "core/file_ops.h"

// The whole ROM file in one buffer of exactly the file's size.
struct RomImage {
    unsigned char* bytes = nullptr; // owned; given back by releaseImage
    std::int32_t size = 0;          // the file's size in bytes
};

// The loaded ROM, held open for update from the read until closeRom.
struct RomStream {
    FileHandle file = kNoFile;
    std::string path;
};

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

// The largest ROM handled: sizes are signed 32-bit counts.
constexpr std::int64_t kMaxRomSize = INT32_MAX;

// Opens path (a regular file only) for update and reads all of it into image. On failure
// nothing is left open or allocated, nothing has been written, and error says why.
bool openAndRead(const std::string& path, RomStream& rom, RomImage& image, FileError& error);

// The name of the backup of the ROM at path: the path with ".bak" appended.
std::string backupPath(const std::string& path);

// Writes image to the backup beside path and makes it durable. The backup is written under
// a temporary name and then renamed over an older backup, so a failure never costs the older
// one, and a link of the backup's name is replaced, never written through. A backup name
// that is the ROM itself under another name is refused before anything is written.
bool writeBackup(const std::string& path, const RomImage& image, FileError& error);

// Writes image over the ROM from its start, in slices, and makes it durable on disk. Space
// is reserved first where the system can, so that a full disk fails before the first byte
// changes. On failure error.mixedBytes tells how far the file may have been written.
bool writeBack(RomStream& rom, const RomImage& image, FileError& error,
               const WriteProgress& progress = WriteProgress());

// Closes the ROM; reports a close that fails. Safe on a ROM already closed.
bool closeRom(RomStream& rom, FileError& error);

// Releases the image without writing it.
void releaseImage(RomImage& image);
