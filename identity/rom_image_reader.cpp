#include "identity/rom_image_reader.h"

#include <cerrno>

#include "core/file_ops.h"
#include "core/file_system.h"

namespace {

// The piece read at a time: small enough that the digests start on the first bytes at once,
// large enough that the system calls cost nothing next to them.
const std::size_t kPiece = std::size_t(1) << 20;

// Fills image from the open file in pieces, reporting each one. The last piece may be
// shorter; every other one is a multiple of 4 bytes.
bool readPieces(FileHandle file, RomImageBuffer& image, const ReadProgress& progress, std::string& reason) {
    for (std::size_t filled = 0; filled < image.size();) {
        const std::size_t piece = image.size() - filled < kPiece ? image.size() - filled : kPiece;
        if (!fileOps().read(file, image.bytes() + filled, piece, static_cast<std::int64_t>(filled), reason))
            return false;
        filled += piece;
        if (progress) progress(filled);
    }
    return true;
}

} // namespace

RomImageBuffer::~RomImageBuffer() {
    if (bytes_) fileOps().release(bytes_);
}

void RomImageBuffer::release() {
    if (bytes_) fileOps().release(bytes_);
    bytes_ = nullptr;
    size_ = 0;
}

bool RomImageBuffer::allocate(std::size_t size) {
    if (bytes_) fileOps().release(bytes_);
    size_ = 0;
    bytes_ = fileOps().allocate(size);
    if (!bytes_) return false;
    size_ = size;
    return true;
}

// Opened as every file of the core is: a regular file only, never waited on.
bool readRomImage(const std::string& path, std::size_t limit, RomImageBuffer& image, std::int64_t& fileSize,
                  const ReadProgress& progress, std::string& reason) {
    FileOps& ops = fileOps();
    fileSize = 0;
    const FileHandle file = ops.open(path, OpenMode::Read, reason);
    if (file == kNoFile) return false;
    bool read = false;
    fileSize = ops.size(file, reason);
    if (fileSize < 0) {
        fileSize = 0;
    } else if (fileSize > kMaxRomSize) {
        reason = "the file is 2 GiB or larger";
    } else if (!image.allocate(static_cast<std::size_t>(fileSize) < limit ? static_cast<std::size_t>(fileSize)
                                                                          : limit)) {
        reason = systemReason(ENOMEM);
    } else {
        read = readPieces(file, image, progress, reason);
    }
    std::string ignored; // only read: nothing can be lost when the close fails
    ops.close(file, ignored);
    return read;
}
