#include "core/rom_file.h"

#include <cerrno>

#include "core/file_system.h"

namespace {

// Fills error with the failed step, the file and the system's reason for errno.
bool fail(FileError& error, FileStep step, const std::string& path, const std::string& reason) {
    error.step = step;
    error.path = path;
    error.reason = reason;
    return false;
}

// The reason for a failed stream operation: the system's, or a fixed text when the stream
// only ran short (an end of file, which sets no errno).
std::string streamReason(std::FILE* file, int savedErrno, const char* shortText) {
    if (std::ferror(file) && savedErrno != 0) return systemReason(savedErrno);
    return shortText;
}

// Writes the image from the start of the stream in slices, handing each slice to the system
// and asking it to start putting it on the disk while the next one is written. Returns the
// reason of a failure, or an empty string.
std::string writeInSlices(std::FILE* file, const RomImage& image) {
    const std::size_t kSlice = std::size_t(8) << 20;
    const std::size_t size = static_cast<std::size_t>(image.size);
    errno = 0;
    if (std::fseek(file, 0, SEEK_SET) != 0) return systemReason(errno);
    for (std::size_t done = 0; done < size;) {
        const std::size_t slice = size - done < kSlice ? size - done : kSlice;
        if (std::fwrite(image.bytes + done, 1, slice, file) != slice)
            return streamReason(file, errno, "the file could not be written whole");
        if (std::fflush(file) != 0) return systemReason(errno);
        startWriteOut(file, static_cast<std::int64_t>(done), static_cast<std::int64_t>(slice));
        done += slice;
    }
    if (!flushToDisk(file)) return systemReason(errno);
    return std::string();
}

} // namespace

// One fopen, one size measurement, one allocation of exactly the size, one fread. Any
// shortfall stops here, so a buffer that was not filled is never written anywhere.
bool openAndRead(const std::string& path, RomStream& rom, RomImage& image, FileError& error) {
    rom = RomStream();
    image = RomImage();
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (!file) return fail(error, FileStep::Open, path, systemReason(errno));

    const std::int64_t size = streamSize(file);
    if (size < 0) {
        const int failure = errno;
        std::fclose(file);
        return fail(error, FileStep::Size, path, systemReason(failure));
    }
    if (size > kMaxRomSize) {
        std::fclose(file);
        return fail(error, FileStep::TooLarge, path, "the file is 2 GiB or larger");
    }

    unsigned char* bytes = allocateImageBytes(static_cast<std::size_t>(size));
    if (!bytes) {
        std::fclose(file);
        return fail(error, FileStep::Allocate, path, systemReason(ENOMEM));
    }

    errno = 0;
    const std::size_t got = std::fread(bytes, 1, static_cast<std::size_t>(size), file);
    if (got != static_cast<std::size_t>(size)) {
        const std::string reason = streamReason(file, errno, "the file ended before its measured size");
        freeImageBytes(bytes);
        std::fclose(file);
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
    const std::string name = backupPath(path);
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file) return fail(error, FileStep::Backup, name, systemReason(errno));
    std::string reason = writeInSlices(file, image);
    if (std::fclose(file) != 0 && reason.empty()) reason = systemReason(errno);
    if (reason.empty()) return true;
    std::remove(name.c_str()); // a partial backup would pass for a good one later
    return fail(error, FileStep::Backup, name, reason);
}

// The file keeps its length: the image is exactly as long as the file was when read.
bool writeBack(RomStream& rom, RomImage& image, FileError& error) {
    const std::string reason = writeInSlices(rom.file, image);
    releaseImage(image);
    if (reason.empty()) return true;
    return fail(error, FileStep::WriteBack, rom.path, reason);
}

bool closeRom(RomStream& rom, FileError& error) {
    if (!rom.file) return true;
    const int result = std::fclose(rom.file);
    rom.file = nullptr;
    if (result == 0) return true;
    return fail(error, FileStep::Close, rom.path, systemReason(errno));
}

void releaseImage(RomImage& image) {
    freeImageBytes(image.bytes);
    image = RomImage();
}
