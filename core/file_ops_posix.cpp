// The file operations on Linux, macOS and the other POSIX systems.
#if !defined(_GNU_SOURCE)
#define _GNU_SOURCE 1 // renameat2, RENAME_NOREPLACE, sync_file_range
#endif

#include "core/file_ops.h"
#include "core/path_name.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/vfs.h>
#elif defined(__APPLE__)
#include <sys/mount.h>
#endif

#include "core/file_system.h"

namespace {

// Huge pages are 2 MiB on the processors that have them; smaller images are not worth it.
const std::size_t kHugePage = std::size_t(2) << 20;

// The smallest page of the systems the program runs on.
const std::size_t kPage = 4096;

// Sets reason to the system's text for errno; returns false for the caller to pass on.
bool failWith(std::string& reason, int code) {
    reason = systemReason(code);
    return false;
}

// Opens an existing name without waiting on it (a pipe with no writer would block a plain
// open for ever), takes it only if it is a regular file, then makes its reads and writes
// blocking again.
int openRegular(const std::string& path, bool update, std::string& reason) {
    const int flags = (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        // A folder cannot be opened for writing; say what it is rather than EISDIR's text.
        if (errno == EISDIR) reason = kNotRegularFileText;
        else failWith(reason, errno);
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = kNotRegularFileText;
        ::close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

#if defined(__linux__)
// Whether any extent of the file is shared with another file (a reflinked copy), so that
// rewriting it takes new blocks. Only the first extents are asked for: one is enough.
bool hasSharedExtents(int fd) {
    const unsigned kAsked = 32;
    alignas(struct fiemap) unsigned char request[sizeof(struct fiemap) + kAsked * sizeof(struct fiemap_extent)] = {};
    struct fiemap* map = reinterpret_cast<struct fiemap*>(request);
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_extent_count = kAsked;
    if (ioctl(fd, FS_IOC_FIEMAP, map) != 0) return false;
    for (unsigned i = 0; i < map->fm_mapped_extents && i < kAsked; ++i)
        if (map->fm_extents[i].fe_flags & FIEMAP_EXTENT_SHARED) return true;
    return false;
}
#endif

// Whether rewriting the file in place takes new blocks for every block written: the file
// systems that copy on write, unless told not to for this file.
bool rewritesToNewBlocks(int fd) {
#if defined(__linux__)
    struct statfs info;
    if (fstatfs(fd, &info) != 0) return false;
    const unsigned long type = static_cast<unsigned long>(info.f_type);
    if (type == 0x9123683EUL) { // btrfs: every file but those marked "no copy on write"
        int flags = 0;
        return ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 || !(flags & FS_NOCOW_FL) || hasSharedExtents(fd);
    }
    if (type == 0x2FC12FC1UL || type == 0xCA451A4EUL) return true; // ZFS, bcachefs
    if (type == 0x58465342UL) return hasSharedExtents(fd);       // XFS, with reflinks only
    return false;
#elif defined(__APPLE__)
    struct statfs info;
    return fstatfs(fd, &info) == 0 && std::strcmp(info.f_fstypename, "apfs") == 0;
#else
    (void)fd;
    return false;
#endif
}

// "N bytes free, M needed" for a refusal for want of room.
std::string shortOfRoomText(std::uint64_t free, std::uint64_t needed, bool copyOnWrite) {
    return std::string(copyOnWrite ? "not enough free space to rewrite it on this copy-on-write file system ("
                                   : "not enough free space to fill the holes of this sparse file (") +
           std::to_string(free) + " bytes free, " + std::to_string(needed) + " needed)";
}

class PosixFileOps : public FileOps {
public:
    FileHandle open(const std::string& path, OpenMode mode, std::string& reason) override {
        if (mode != OpenMode::CreateNew) return openRegular(path, mode == OpenMode::Update, reason);
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) failWith(reason, errno);
        return fd;
    }

    bool lock(FileHandle file, std::string& reason) override {
        for (;;) {
            if (flock(static_cast<int>(file), LOCK_EX | LOCK_NB) == 0) return true;
            if (errno == EINTR) continue;
            if (errno == EWOULDBLOCK) return reason = kInUseText, false;
            return failWith(reason, errno);
        }
    }

    std::int64_t size(FileHandle file, std::string& reason) override {
        struct stat info;
        if (fstat(static_cast<int>(file), &info) != 0) return failWith(reason, errno), -1;
        return static_cast<std::int64_t>(info.st_size);
    }

    // Buffers start on a page: the system copies a file's cached pages into page-aligned
    // memory several times faster than into memory a few bytes off (measured: 64 MiB read in
    // 1 MiB slices, 47 ms against 10). Large images are placed so that the system can back
    // them with huge pages, which spares most of the page faults of filling them.
    unsigned char* allocate(std::size_t size) override {
        void* bytes = nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (size >= kHugePage) {
            if (posix_memalign(&bytes, kHugePage, size) != 0) return nullptr;
            madvise(bytes, size, MADV_HUGEPAGE); // only a hint
            return static_cast<unsigned char*>(bytes);
        }
#endif
        if (size < kPage) return static_cast<unsigned char*>(std::malloc(size ? size : 1));
        if (posix_memalign(&bytes, kPage, size) != 0) return nullptr;
        return static_cast<unsigned char*>(bytes);
    }

    void release(unsigned char* bytes) override { std::free(bytes); }

    bool read(FileHandle file, unsigned char* bytes, std::size_t size, std::int64_t offset,
              std::string& reason) override {
        for (std::size_t done = 0; done < size;) {
            const ssize_t got = pread(static_cast<int>(file), bytes + done, size - done,
                                      static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return failWith(reason, errno);
            if (got == 0) return reason = kEndedEarlyText, false;
            done += static_cast<std::size_t>(got);
        }
        return true;
    }

    // Allocating the file's own length gives blocks to the holes of a sparse file (and to
    // nothing else), so a full disk fails here, before any byte changes. The file's length
    // is kept: a file another program cut short meanwhile is never grown back with zeros.
    bool reserve(FileHandle file, std::int64_t size, std::string& reason) override {
#if defined(__linux__)
        if (size <= 0) return true;
        for (;;) {
            if (fallocate(static_cast<int>(file), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0) return true;
            if (errno == EINTR) continue;
            if (errno == EOPNOTSUPP || errno == EINVAL || errno == ENOSYS) return true;
            return failWith(reason, errno);
        }
#else
        (void)file;
        (void)size;
        (void)reason;
        return true;
#endif
    }

    // The blocks the file already has are subtracted from what a sparse file needs; a file
    // system that copies on write needs room for all of it.
    bool roomToRewrite(FileHandle file, std::int64_t size, std::int64_t extra, std::string& reason) override {
        const int fd = static_cast<int>(file);
        struct stat info;
        struct statvfs disk;
        if (fstat(fd, &info) != 0 || fstatvfs(fd, &disk) != 0) return true; // cannot tell: the writes will
        const std::uint64_t held = static_cast<std::uint64_t>(info.st_blocks) * 512;
        const bool copyOnWrite = rewritesToNewBlocks(fd);
        const std::uint64_t wanted = static_cast<std::uint64_t>(size);
        std::uint64_t needed = copyOnWrite ? wanted : (held < wanted ? wanted - held : 0);
        if (needed == 0) return true;
        needed += static_cast<std::uint64_t>(extra);
        const std::uint64_t free = static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
        if (free >= needed) return true;
        reason = shortOfRoomText(free, needed, copyOnWrite);
        return false;
    }

    std::int64_t fileSizeLimit() override {
        struct rlimit limit;
        if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return -1;
        return static_cast<std::int64_t>(limit.rlim_cur);
    }

    bool write(FileHandle file, const unsigned char* bytes, std::size_t size, std::int64_t offset,
               std::string& reason) override {
        for (std::size_t done = 0; done < size;) {
            const ssize_t put = pwrite(static_cast<int>(file), bytes + done, size - done,
                                       static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return failWith(reason, put < 0 ? errno : ENOSPC);
            done += static_cast<std::size_t>(put);
        }
        return true;
    }

    void startWriteOut(FileHandle file, std::int64_t offset, std::int64_t length) override {
#ifdef __linux__
        sync_file_range(static_cast<int>(file), offset, length, SYNC_FILE_RANGE_WRITE);
#else
        (void)file;
        (void)offset;
        (void)length;
#endif
    }

    // The data and what is needed to read it back (the size); not the times of the file.
    bool sync(FileHandle file, std::string& reason) override {
#ifdef __linux__
        if (fdatasync(static_cast<int>(file)) == 0) return true;
#else
        if (fsync(static_cast<int>(file)) == 0) return true;
#endif
        return failWith(reason, errno);
    }

    bool close(FileHandle file, std::string& reason) override {
        if (::close(static_cast<int>(file)) == 0) return true;
        return failWith(reason, errno);
    }

    bool renameReplacing(const std::string& from, const std::string& to, std::string& reason) override {
        if (::rename(from.c_str(), to.c_str()) == 0) return true;
        return failWith(reason, errno);
    }

    bool renameExclusive(const std::string& from, const std::string& to, bool& unsupported,
                         std::string& reason) override {
        unsupported = false;
#if defined(__APPLE__)
        if (renamex_np(from.c_str(), to.c_str(), RENAME_EXCL) == 0) return true;
#elif defined(__linux__)
        if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
#else
        errno = ENOSYS;
#endif
        unsupported = errno == EINVAL || errno == ENOSYS || errno == ENOTSUP;
        return failWith(reason, errno);
    }

    bool link(const std::string& from, const std::string& to, std::string& reason) override {
        if (::link(from.c_str(), to.c_str()) == 0) return true;
        return failWith(reason, errno);
    }

    bool remove(const std::string& path, std::string& reason) override {
        if (::unlink(path.c_str()) == 0) return true;
        return failWith(reason, errno);
    }

    void syncFolderOf(const std::string& path) override {
        const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return;
        fsync(fd); // best effort: the file itself is already on the disk
        ::close(fd);
    }

    FileIdentity identify(const std::string& path, bool followLinks) override {
        FileIdentity identity;
        struct stat info;
        if ((followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) != 0)
            return identity;
        identity.exists = true;
        identity.folder = S_ISDIR(info.st_mode);
        identity.link = S_ISLNK(info.st_mode);
        identity.device = static_cast<std::uint64_t>(info.st_dev);
        identity.file = static_cast<std::uint64_t>(info.st_ino);
        identity.links = static_cast<std::uint64_t>(info.st_nlink);
        return identity;
    }

    FileIdentity identifyOpen(FileHandle file) override {
        FileIdentity identity;
        struct stat info;
        if (fstat(static_cast<int>(file), &info) != 0) return identity;
        identity.exists = true;
        identity.device = static_cast<std::uint64_t>(info.st_dev);
        identity.file = static_cast<std::uint64_t>(info.st_ino);
        identity.links = static_cast<std::uint64_t>(info.st_nlink);
        return identity;
    }

    bool concurrent() override { return true; } // pread and pwrite carry their own offsets

    std::string newNameProblem(const std::string& folder, const std::string& name) override {
        if (access(folder.c_str(), W_OK | X_OK) != 0) return systemReason(errno);
        const long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
        if (longest > 0 && name.size() > static_cast<std::size_t>(longest))
            return systemReason(ENAMETOOLONG);
        if (folder.size() + 1 + name.size() >= PATH_MAX) return systemReason(ENAMETOOLONG);
        return std::string();
    }
};

} // namespace

FileOps& systemFileOps() {
    static PosixFileOps ops;
    return ops;
}
