// Digests of byte ranges from well-kept libraries: MD5 and SHA-1 from the platform's own
// cryptography (OpenSSL's libcrypto, or Windows CNG), CRC-32 from zlib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The cryptographic digests a ROM is identified by.
enum class DigestKind {
    Md5, // 16 bytes
    Sha1 // 20 bytes
};

// The length in bytes of a finished digest of kind.
std::size_t digestLength(DigestKind kind);

// One running MD5 or SHA-1 computation: feed it bytes in any number of pieces, then finish
// it once. A backend that fails (which a working system never does) makes ok() false and
// error() tell why; later calls then do nothing, and so does any call after finish.
class Digest {
public:
    explicit Digest(DigestKind kind);
    ~Digest();
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;

    // Adds n bytes to the digest.
    void update(const unsigned char* data, std::size_t n);

    // Writes the digest (digestLength(kind) bytes) to out and ends the computation.
    // Returns false when the backend failed; out is then not a digest.
    bool finish(unsigned char* out);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

private:
    struct Backend;                    // the library's state, one per backend source file
    std::unique_ptr<Backend> backend_;
    DigestKind kind_;
    std::string error_;                // empty while everything works
    bool finished_ = false;
};

// The CRC-32 (the zlib / IEEE one catalogues list) of n more bytes, continuing from crc;
// start from 0.
std::uint32_t crc32Update(std::uint32_t crc, const unsigned char* data, std::size_t n);
