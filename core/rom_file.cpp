#include "core/rom_file.h"

#include "core/file_system.h"
#include "core/new_file.h"

namespace {

// The size of the slices a write goes out in: each is handed to the disk while the next one
// is written.
const std::size_t kSlice = std::size_t(8) << 20;

// Fills error with the failed step, the file and the reason; false for the caller to pass on.
bool fail(FileError& error, FileStep step, const std::string& path, const std::string& reason) {
    error.step = step;
    error.path = path;
    error.reason = reason;
    return false;
}

// Closes a file whose failure is already being reported: its own close adds nothing.
void closeQuietly(FileHandle file) {
    std::string ignored;
    if (file != kNoFile) fileOps().close(file, ignored);
}

// Writes the image from the start of the file in slices, telling progress after each, and
// makes it durable. On failure, written tells how far the file may have been changed.
bool writeInSlices(FileHandle file, const RomImage& image, std::string& reason, std::int64_t& written,
                   const WriteProgress& progress) {
    FileOps& ops = fileOps();
    const std::size_t size = static_cast<std::size_t>(image.size);
    written = 0;
    for (std::size_t done = 0; done < size;) {
        const std::size_t slice = size - done < kSlice ? size - done : kSlice;
        written = static_cast<std::int64_t>(done + slice); // a failed write may reach its end
        if (!ops.write(file, image.bytes + done, slice, static_cast<std::int64_t>(done), reason)) return false;
        ops.startWriteOut(file, static_cast<std::int64_t>(done), static_cast<std::int64_t>(slice));
        done += slice;
        if (progress && done < size) progress(static_cast<std::int64_t>(done), image.size);
    }
    if (!ops.sync(file, reason)) return false;
    if (progress) progress(image.size, image.size);
    return true;
}

} // namespace

// One open, one size measurement, one allocation of exactly the size, one read. Any
// shortfall stops here, so a buffer that was not filled is never written anywhere.
bool openAndRead(const std::string& path, RomStream& rom, RomImage& image, FileError& error) {
    rom = RomStream();
    image = RomImage();
    FileOps& ops = fileOps();
    std::string reason;
    const FileHandle file = ops.open(path, OpenMode::Update, reason);
    if (file == kNoFile) return fail(error, FileStep::Open, path, reason);

    const std::int64_t size = ops.size(file, reason);
    if (size < 0) return closeQuietly(file), fail(error, FileStep::Size, path, reason);
    if (size > kMaxRomSize) return closeQuietly(file), fail(error, FileStep::TooLarge, path, "the file is 2 GiB or larger");

    unsigned char* bytes = ops.allocate(static_cast<std::size_t>(size));
    if (!bytes) return closeQuietly(file), fail(error, FileStep::Allocate, path, systemReason(ENOMEM));

    if (!ops.read(file, bytes, static_cast<std::size_t>(size), 0, reason)) {
        ops.release(bytes);
        closeQuietly(file);
        return fail(error, FileStep::Read, path, reason);
    }
    rom.file = file;
    rom.path = path;
    image.bytes = bytes;
    image.size = static_cast<std::int32_t>(size);
    return true;
}

std::string backupPath(const std::string& path) {
    return path + ".bak";
}

// Written from memory, so the backup holds exactly the bytes read before any conversion.
bool writeBackup(const std::string& path, const RomImage& image, FileError& error) {
    const std::string backup = backupPath(path);
    if (sameFile(path, backup))
        return fail(error, FileStep::Backup, backup, "it is another name of the ROM itself; nothing written");
    NewFile file;
    std::string reason;
    if (file.create(backup, reason) && file.write(image.bytes, static_cast<std::size_t>(image.size), 0, reason) &&
        file.commit(true, reason))
        return true;
    return fail(error, FileStep::Backup, backup, reason);
}

// The file keeps its length: the image is exactly as long as the file was when read.
bool writeBack(RomStream& rom, const RomImage& image, FileError& error, const WriteProgress& progress) {
    error.rom = RomState::Unchanged;
    error.mixedBytes = 0;
    std::string reason;
    if (!fileOps().reserve(rom.file, image.size, reason)) return fail(error, FileStep::WriteBack, rom.path, reason);
    std::int64_t written = 0;
    if (writeInSlices(rom.file, image, reason, written, progress)) return true;
    error.rom = RomState::Mixed;
    error.mixedBytes = written;
    return fail(error, FileStep::WriteBack, rom.path, reason);
}

bool closeRom(RomStream& rom, FileError& error) {
    if (rom.file == kNoFile) return true;
    std::string reason;
    const bool closed = fileOps().close(rom.file, reason);
    rom.file = kNoFile;
    if (closed) return true;
    return fail(error, FileStep::Close, rom.path, reason);
}

void releaseImage(RomImage& image) {
    if (image.bytes) fileOps().release(image.bytes);
    image = RomImage();
}
