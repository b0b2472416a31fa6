// The file operations of the core, behind one small interface: the system's by default, and
// one a test can put in their place to make any single step fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A file opened by the core: a POSIX descriptor, or a Windows handle; kNoFile when none.
using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

// How a file is opened.
enum class OpenMode {
    Read,     // an existing regular file, for reading only
    Update,   // an existing regular file, for reading and writing in place
    CreateNew // a new file, failing when the name is taken (links are not followed)
};

// What a name is on the disk, from its directory entry (links not followed) or from the
// file it leads to (links followed).
struct FileIdentity {
    bool exists = false;
    bool folder = false;
    bool link = false;                 // a symbolic link (only when links are not followed)
    std::uint64_t device = 0;          // with file, the same pair for every name of one file
    std::uint64_t file = 0;
    std::uint64_t links = 0;           // how many names the file has
};

// Text of the reason given when a name is not a file the core can work on.
extern const char* const kNotRegularFileText;

// Text of the reason given when a file is shorter than its measured size.
extern const char* const kEndedEarlyText;

// Text of the reason given when another program holds the file for writing.
extern const char* const kInUseText;

// How many written bytes a writer hands the disk at a time (startWriteOut) while it writes
// the next ones.
constexpr std::size_t kWriteOutBytes = std::size_t(8) << 20;

// The operations. Each one reports a failure with the system's own text in reason.
class FileOps {
public:
    virtual ~FileOps() = default;

    // Opens path as mode asks. Read and Update take only a regular file: a pipe, a device,
    // a socket or a folder is refused with kNotRegularFileText, and never waited on.
    virtual FileHandle open(const std::string& path, OpenMode mode, std::string& reason) = 0;
    // Takes the exclusive lock of a file opened for update or created, without waiting, so
    // that no other run of the program writes it until it is closed; fails with kInUseText
    // when another program holds it. (On Windows the open's share mode already keeps every
    // other writer out, and an open that meets one fails with kInUseText.)
    virtual bool lock(FileHandle file, std::string& reason) = 0;
    // The file's size in bytes, or -1.
    virtual std::int64_t size(FileHandle file, std::string& reason) = 0;
    // Memory for an image of size bytes, or null; and its release.
    virtual unsigned char* allocate(std::size_t size) = 0;
    virtual void release(unsigned char* bytes) = 0;
    // Reads exactly size bytes from offset on.
    virtual bool read(FileHandle file, unsigned char* bytes, std::size_t size, std::int64_t offset,
                      std::string& reason) = 0;
    // Makes sure the disk has room for the file's first size bytes, so that writing them
    // cannot run out of space halfway. True where the system cannot tell in advance.
    virtual bool reserve(FileHandle file, std::int64_t size, std::string& reason) = 0;
    // Whether the disk has room to rewrite the file's first size bytes in place, plus extra
    // bytes for other files, without changing anything: a copy-on-write file system (btrfs,
    // ZFS, bcachefs, APFS, XFS with shared extents) needs free space for every block
    // rewritten, and the holes of a sparse file need blocks of their own.
    virtual bool roomToRewrite(FileHandle file, std::int64_t size, std::int64_t extra, std::string& reason) = 0;
    // The largest size this process may give a file (its file size limit); -1 when unlimited.
    virtual std::int64_t fileSizeLimit() = 0;
    // Writes exactly size bytes at offset.
    virtual bool write(FileHandle file, const unsigned char* bytes, std::size_t size,
                       std::int64_t offset, std::string& reason) = 0;
    // Asks the system to start putting a written range on the disk, without waiting; writers
    // hand it kWriteOutBytes at a time.
    virtual void startWriteOut(FileHandle file, std::int64_t offset, std::int64_t length) = 0;
    // Waits until everything written to the file is on the disk.
    virtual bool sync(FileHandle file, std::string& reason) = 0;
    virtual bool close(FileHandle file, std::string& reason) = 0;

    // Renames from to to, replacing what to names (a link itself, never what it leads to).
    virtual bool renameReplacing(const std::string& from, const std::string& to, std::string& reason) = 0;
    // Renames from to to, failing when to exists. unsupported is set when the file system
    // cannot rename that way at all (the caller may then fall back to link and remove).
    virtual bool renameExclusive(const std::string& from, const std::string& to, bool& unsupported,
                                 std::string& reason) = 0;
    // Gives the file at from the further name to (failing when to exists).
    virtual bool link(const std::string& from, const std::string& to, std::string& reason) = 0;
    virtual bool remove(const std::string& path, std::string& reason) = 0;
    // Makes the names in the folder of path durable after a rename (nothing where the system
    // does that by itself).
    virtual void syncFolderOf(const std::string& path) = 0;

    // What path is; followLinks chooses between the name itself and the file it leads to.
    virtual FileIdentity identify(const std::string& path, bool followLinks) = 0;
    // What an open file is, to tell whether a name still leads to it.
    virtual FileIdentity identifyOpen(FileHandle file) = 0;
    // Why a new name could not be made in folder: not writable, or name longer than the file
    // system takes. Empty when it could.
    virtual std::string newNameProblem(const std::string& folder, const std::string& name) = 0;

    // Whether two threads may read and write different ranges of one open file through
    // these operations at once (the system's may; a stand-in that counts calls may not).
    virtual bool concurrent() { return false; }
};

// The operations in use: the system's unless a test put others in their place.
FileOps& fileOps();

// Puts ops in place of the operations in use (null: the system's again); returns the previous.
FileOps* replaceFileOps(FileOps* ops);

// The system's operations, for a test's operations to pass the calls they do not fail on.
FileOps& systemFileOps();
