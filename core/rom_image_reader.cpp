#include "core/rom_image_reader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// The piece read at a time: small enough that the digests start on the first bytes at once,
// large enough that the system calls cost nothing next to them.
const std::size_t kPiece = std::size_t(1) << 20;

// The system's text for an errno value.
std::string errnoText(int value) {
    const char* text = std::strerror(value);
    return text ? text : "unknown error";
}

#ifdef _WIN32
// A folder cannot be opened as a file on Windows, which says only "Permission denied":
// that is told apart here.
std::string openFailure(const std::string& path, int failure) {
    struct _stat64 info;
    if (failure == EACCES && _stat64(path.c_str(), &info) == 0 && (info.st_mode & _S_IFDIR)) return errnoText(EISDIR);
    return errnoText(failure);
}

// Opens path for reading only and measures it; only a regular file is accepted.
int openRegularFile(const std::string& path, std::int64_t& size, std::string& reason) {
    const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_SEQUENTIAL);
    if (fd < 0) {
        reason = openFailure(path, errno);
        return -1;
    }
    struct _stat64 info;
    if (_fstat64(fd, &info) != 0) {
        reason = errnoText(errno);
    } else if (!(info.st_mode & _S_IFREG)) {
        reason = (info.st_mode & _S_IFDIR) ? errnoText(EISDIR) : "not a regular file";
    } else {
        size = info.st_size;
        return fd;
    }
    _close(fd);
    return -1;
}

// One read of at most n bytes (n is at most one piece, well within an unsigned int).
int readSome(int fd, unsigned char* into, std::size_t n) {
    return _read(fd, into, static_cast<unsigned int>(n));
}

// Closes a file only read: nothing can be lost when that fails.
void closeFile(int fd) {
    _close(fd);
}
#else
// Opens path for reading only and measures it; only a regular file is accepted. The open
// does not block, so a pipe without a writer or a device that waits for one is refused at
// once instead of hanging the program.
int openRegularFile(const std::string& path, std::int64_t& size, std::string& reason) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = errnoText(errno);
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        reason = errnoText(errno);
    } else if (!S_ISREG(info.st_mode)) {
        reason = S_ISDIR(info.st_mode) ? errnoText(EISDIR) : "not a regular file";
    } else {
        size = info.st_size;
        return fd;
    }
    close(fd);
    return -1;
}

// One read, repeated when a signal interrupts it.
long readSome(int fd, unsigned char* into, std::size_t n) {
    ssize_t got;
    do {
        got = read(fd, into, n);
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
}

// Closes a file only read: nothing can be lost when that fails.
void closeFile(int fd) {
    close(fd);
}
#endif

// Fills image from the open file in pieces, reporting each one. The last piece may be
// shorter; every other one is a multiple of 4 bytes.
bool readPieces(int fd, RomImageBuffer& image, const ReadProgress& progress, std::string& reason) {
    std::size_t filled = 0;
    while (filled < image.size()) {
        const std::size_t end = image.size() - filled < kPiece ? image.size() : filled + kPiece;
        while (filled < end) {
            const long got = readSome(fd, image.bytes() + filled, end - filled);
            if (got < 0) {
                reason = errnoText(errno);
                return false;
            }
            if (got == 0) {
                reason = "the file ended before its measured size";
                return false;
            }
            filled += static_cast<std::size_t>(got);
        }
        if (progress) progress(filled);
    }
    return true;
}

} // namespace

RomImageBuffer::~RomImageBuffer() {
    std::free(bytes_);
}

// Large images are placed so that the system can back them with huge pages, which spares
// most of the page faults of filling them.
bool RomImageBuffer::allocate(std::size_t size) {
    std::free(bytes_);
    bytes_ = nullptr;
    size_ = 0;
    void* memory = nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const std::size_t kHugePage = std::size_t(2) << 20;
    if (size >= kHugePage) {
        if (posix_memalign(&memory, kHugePage, size) != 0) return false;
        madvise(memory, size, MADV_HUGEPAGE); // a hint only
    }
#endif
    if (!memory) memory = std::malloc(size ? size : 1);
    if (!memory) return false;
    bytes_ = static_cast<unsigned char*>(memory);
    size_ = size;
    return true;
}

bool readRomImage(const std::string& path, std::size_t limit, RomImageBuffer& image, std::int64_t& fileSize,
                  const ReadProgress& progress, std::string& reason) {
    fileSize = 0;
    const int fd = openRegularFile(path, fileSize, reason);
    if (fd < 0) return false;
    bool read = false;
    if (fileSize > kLargestReadableRom) {
        reason = "the file is 2 GiB or larger";
    } else if (!image.allocate(static_cast<std::size_t>(fileSize) < limit ? static_cast<std::size_t>(fileSize)
                                                                          : limit)) {
        reason = errnoText(ENOMEM);
    } else {
        read = readPieces(fd, image, progress, reason);
    }
    closeFile(fd);
    return read;
}
