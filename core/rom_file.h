// The file side of a conversion: read a whole ROM, write its backup, write it back in place.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The whole ROM file in one buffer of exactly the file's size.
struct RomImage {
    unsigned char* bytes = nullptr; // owned; released by writeBack or releaseImage
    std::int32_t size = 0;          // the file's size in bytes
};

// The loaded ROM, held open for update from the read until closeRom.
struct RomStream {
    std::FILE* file = nullptr;
    std::string path;
};

// The step of a file update that failed.
enum class FileStep {
    None,       // no failure
    Open,       // the ROM could not be opened for update
    Size,       // its size could not be measured
    TooLarge,   // it is 2 GiB or larger
    Allocate,   // no memory for the image
    Read,       // it could not be read whole
    Backup,     // the backup could not be written
    WriteBack,  // the converted image could not be written, flushed or made durable
    Close       // the ROM could not be closed cleanly
};

// What went wrong in a file update: the step, the file it concerns and the system's reason.
struct FileError {
    FileStep step = FileStep::None;
    std::string path;
    std::string reason;
};

// The largest ROM handled: sizes are signed 32-bit counts.
constexpr std::int64_t kMaxRomSize = INT32_MAX;

// Opens path for update and reads all of it into image. On failure nothing is left open or
// allocated, nothing has been written, and error says why.
bool openAndRead(const std::string& path, RomStream& rom, RomImage& image, FileError& error);

// The name of the backup of the ROM at path: the path with ".bak" appended.
std::string backupPath(const std::string& path);

// Writes image to the backup beside path, replacing an older backup, and makes it durable.
// On failure a partly written backup is removed and error says why.
bool writeBackup(const std::string& path, const RomImage& image, FileError& error);

// Writes image over the ROM from its start, flushes it and makes it durable on disk, then
// releases the image whatever happened.
bool writeBack(RomStream& rom, RomImage& image, FileError& error);

// Closes the ROM stream; reports a close that fails. Safe on a stream already closed.
bool closeRom(RomStream& rom, FileError& error);

// Releases the image without writing it.
void releaseImage(RomImage& image);
