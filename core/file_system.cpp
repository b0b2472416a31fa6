#if !defined(_WIN32) && !defined(_GNU_SOURCE)
#define _GNU_SOURCE 1 // renameat2 and RENAME_NOREPLACE
#endif

#include "core/file_system.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/types.h>
#include <unistd.h>
#endif
#ifdef __APPLE__
#include <stdio.h> // renamex_np
#endif

// The system's text for an errno value.
std::string systemReason(int errnoValue) {
    const char* text = std::strerror(errnoValue);
    return text ? text : "unknown error";
}

// Seeks to the end for the size, then back to the start; 64-bit positions everywhere, so
// a file of 2 GiB or more is measured rather than misread.
std::int64_t streamSize(std::FILE* file) {
#ifdef _WIN32
    if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
    const std::int64_t size = _ftelli64(file);
    if (size < 0 || _fseeki64(file, 0, SEEK_SET) != 0) return -1;
#else
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    const std::int64_t size = ftello(file);
    if (size < 0 || fseeko(file, 0, SEEK_SET) != 0) return -1;
#endif
    return size;
}

#if defined(__linux__) && defined(MADV_HUGEPAGE)
// Huge pages are 2 MiB on the processors that have them; smaller images are not worth it.
const std::size_t kHugePage = std::size_t(2) << 20;

unsigned char* allocateImageBytes(std::size_t size) {
    if (size < kHugePage) return static_cast<unsigned char*>(std::malloc(size ? size : 1));
    void* bytes = nullptr;
    if (posix_memalign(&bytes, kHugePage, size) != 0) return nullptr;
    madvise(bytes, size, MADV_HUGEPAGE); // only a hint: without it the memory works the same
    return static_cast<unsigned char*>(bytes);
}
#else
unsigned char* allocateImageBytes(std::size_t size) {
    return static_cast<unsigned char*>(std::malloc(size ? size : 1));
}
#endif

void freeImageBytes(unsigned char* bytes) {
    std::free(bytes);
}

void startWriteOut(std::FILE* file, std::int64_t offset, std::int64_t length) {
#ifdef __linux__
    sync_file_range(fileno(file), offset, length, SYNC_FILE_RANGE_WRITE);
#else
    (void)file;
    (void)offset;
    (void)length;
#endif
}

// fflush gives the bytes to the system; _commit, fdatasync or fsync puts them on the disk.
bool flushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#elif defined(__linux__)
    // The data and what is needed to read it back (the size); not the times of the file.
    return fdatasync(fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

// Windows' rename never replaces an existing file. Linux's does, so it uses renameat2 with
// RENAME_NOREPLACE, and where the file system cannot do that, a hard link to the new name
// (which fails if the name exists) followed by removing the old one. macOS has renamex_np.
bool renameNoReplace(const std::string& from, const std::string& to, std::string& reason) {
#if defined(_WIN32)
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
#elif defined(__APPLE__)
    if (renamex_np(from.c_str(), to.c_str(), RENAME_EXCL) == 0) return true;
#else
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
        if (link(from.c_str(), to.c_str()) == 0) {
            if (unlink(from.c_str()) == 0) return true;
            const int failure = errno;
            unlink(to.c_str()); // keep one name only: the old one
            errno = failure;
        }
    }
#endif
    reason = systemReason(errno);
    return false;
}
