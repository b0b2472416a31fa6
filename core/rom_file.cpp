#include "core/rom_file.h"

#include <cerrno>
#include <new>

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

    unsigned char* bytes = new (std::nothrow) unsigned char[size > 0 ? size : 1];
    if (!bytes) {
        std::fclose(file);
        return fail(error, FileStep::Allocate, path, systemReason(ENOMEM));
    }

    errno = 0;
    const std::size_t got = std::fread(bytes, 1, static_cast<std::size_t>(size), file);
    if (got != static_cast<std::size_t>(size)) {
        const std::string reason = streamReason(file, errno, "the file ended before its measured size");
        delete[] bytes;
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

    errno = 0;
    const std::size_t size = static_cast<std::size_t>(image.size);
    bool ok = std::fwrite(image.bytes, 1, size, file) == size;
    std::string reason;
    if (!ok) reason = streamReason(file, errno, "the backup could not be written whole");
    if (ok && !flushToDisk(file)) {
        ok = false;
        reason = systemReason(errno);
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        reason = systemReason(errno);
    }
    if (ok) return true;
    std::remove(name.c_str()); // a partial backup would pass for a good one later
    return fail(error, FileStep::Backup, name, reason);
}

// The file keeps its length: the image is exactly as long as the file was when read.
bool writeBack(RomStream& rom, RomImage& image, FileError& error) {
    const std::size_t size = static_cast<std::size_t>(image.size);
    std::string reason;
    errno = 0;
    if (std::fseek(rom.file, 0, SEEK_SET) != 0) {
        reason = systemReason(errno);
    } else if (std::fwrite(image.bytes, 1, size, rom.file) != size) {
        reason = streamReason(rom.file, errno, "the file could not be written whole");
    } else if (!flushToDisk(rom.file)) {
        reason = systemReason(errno);
    }
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
    delete[] image.bytes;
    image = RomImage();
}
