#include "identity/digest.h"

#ifdef DORNAVEL_HAVE_LIBDEFLATE
#include <libdeflate.h>

// libdeflate's CRC-32 folds with the processor's carry-less multiply where it has one.
std::uint32_t crc32Update(std::uint32_t crc, const unsigned char* data, std::size_t n) {
    return libdeflate_crc32(crc, data, n);
}
#else
#include <zlib.h>

// zlib counts lengths in uInt: a range is fed in pieces that fit.
std::uint32_t crc32Update(std::uint32_t crc, const unsigned char* data, std::size_t n) {
    const std::size_t kPiece = std::size_t(1) << 30;
    uLong value = crc;
    while (n > 0) {
        const std::size_t piece = n < kPiece ? n : kPiece;
        value = crc32(value, data, static_cast<uInt>(piece));
        data += piece;
        n -= piece;
    }
    return static_cast<std::uint32_t>(value);
}
#endif

std::size_t digestLength(DigestKind kind) {
    return kind == DigestKind::Md5 ? 16 : 20;
}
