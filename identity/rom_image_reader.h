// Reading a ROM file into memory for identification: opened for reading only, so that a
// write-protected ROM or one on read-only media works and the file is never changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/byte_source.h"
#include "core/rom_file.h"

// The bytes read from a ROM file, owned; at most as long as the file.
class RomImageBuffer {
public:
    RomImageBuffer() = default;
    ~RomImageBuffer();
    RomImageBuffer(const RomImageBuffer&) = delete;
    RomImageBuffer& operator=(const RomImageBuffer&) = delete;

    unsigned char* bytes() { return bytes_; }
    const unsigned char* bytes() const { return bytes_; }
    std::size_t size() const { return size_; }

    // Makes room for size bytes, dropping what was held; false when there is no memory.
    bool allocate(std::size_t size);
    // Makes room for size bytes (more than held), keeping the first kept of those held; false
    // when there is no memory, the bytes held then left as they were.
    bool grow(std::size_t size, std::size_t kept);
    // Keeps the first size bytes held (no more than held), the memory kept as it is.
    void keepFirst(std::size_t size) { size_ = size < size_ ? size : size_; }
    // Gives the bytes back; the buffer is then empty.
    void release();

private:
    unsigned char* bytes_ = nullptr;
    std::size_t size_ = 0;
};

// Called each time more of the image has been read: filled bytes from the start are now in
// place. Each call but the last one adds a whole number of 4-byte groups.
using ReadProgress = std::function<void(std::size_t filled)>;

// Reads the first min(file size, limit) bytes of the regular file at path into image,
// piece by piece, calling progress after each piece so that work on the bytes already read
// can start while the rest is read. fileSize gets the whole file's size. A folder, a device,
// a pipe, a missing or unreadable file, a file of 2 GiB or more and one that ends early are
// refused, with reason telling why; nothing is ever written to the file.
bool readRomImage(const std::string& path, std::size_t limit, RomImageBuffer& image, std::int64_t& fileSize,
                  const ReadProgress& progress, std::string& reason);

// The same from a stream: the first min(its size, limit) bytes into image, fileSize getting
// its whole size. A stream that says its size is read piece by piece with progress, and
// must end there; one that does not is read whole first (past limit only counted), and
// progress is then called once. A stream of 2 GiB or more is refused.
bool readRomImage(ByteSource& source, std::size_t limit, RomImageBuffer& image, std::int64_t& fileSize,
                  const ReadProgress& progress, std::string& reason);

// The file at path as a stream, opened for reading only, as readRomImage opens it.
class FileByteSource : public ByteSource {
public:
    FileByteSource() = default;
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    // Opens the regular file at path; false with reason when it cannot be.
    bool open(const std::string& path, std::string& reason);
    std::int64_t size() const override { return size_; }
    std::int64_t read(unsigned char* buffer, std::size_t size, std::string& reason) override;

private:
    FileHandle file_ = kNoFile;
    std::int64_t size_ = 0;
    std::int64_t offset_ = 0;
};
