#include "core/sector_check.h"

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <nmmintrin.h>
#define DORNAVEL_CRC_X86 1
#elif defined(__aarch64__) && defined(__ARM_FEATURE_CRC32)
#include <arm_acle.h>
#define DORNAVEL_CRC_ARM 1
#endif

namespace {

// The CRC-32C polynomial, bits reflected.
const std::uint32_t kCastagnoli = 0x82F63B78u;

// The mixed check's multiplier: an odd constant with well mixed bits.
const std::uint64_t kMix = 0x9E3779B97F4A7C15ull;

std::uint64_t rotateLeft(std::uint64_t x, int by) {
    return (x << by) | (x >> (64 - by));
}

// The 8 bytes at p as a little-endian number, on every processor: a plain load where the
// processor is little-endian (every x86 and ARM this runs on), byte by byte elsewhere.
std::uint64_t load64(const unsigned char* p) {
    std::uint64_t x = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (int i = 7; i >= 0; --i) x = (x << 8) | p[i];
#else
    std::memcpy(&x, p, sizeof x);
#endif
    return x;
}

// Four lanes of multiply-and-rotate over 8-byte words, folded to 32 bits: the check of the
// records of versions 1 and 2, kept to read them.
std::uint32_t mixedCheck(const unsigned char* bytes, std::size_t size) {
    std::uint64_t lanes[4] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull,
                              0x082EFA98EC4E6C89ull};
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32)
        for (int lane = 0; lane < 4; ++lane)
            lanes[lane] = rotateLeft((lanes[lane] ^ load64(bytes + i + 8 * lane)) * kMix, 31);
    for (; i < size; ++i) lanes[i % 4] = rotateLeft((lanes[i % 4] ^ bytes[i]) * kMix, 31);
    std::uint64_t h = lanes[0] ^ rotateLeft(lanes[1], 17) ^ rotateLeft(lanes[2], 34) ^ rotateLeft(lanes[3], 51) ^ size;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// The tables of the CRC taken 8 bytes at a time: table[k][b] is the CRC of byte b followed
// by k zero bytes.
struct CrcTables {
    std::uint32_t table[8][256];
    CrcTables() {
        for (std::uint32_t b = 0; b < 256; ++b) {
            std::uint32_t crc = b;
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (crc & 1 ? kCastagnoli : 0);
            table[0][b] = crc;
        }
        for (int k = 1; k < 8; ++k)
            for (int b = 0; b < 256; ++b) table[k][b] = (table[k - 1][b] >> 8) ^ table[0][table[k - 1][b] & 0xFF];
    }
};

const CrcTables& crcTables() {
    static const CrcTables tables;
    return tables;
}

// Whether the checks go through the processor's instruction: where it has one, and the build
// does not ask for the portable passes.
bool hardwareChecks() {
#if defined(DORNAVEL_PORTABLE_PASSES)
    return false;
#else
    static const bool has = crc32cInHardware();
    return has;
#endif
}

#if defined(DORNAVEL_CRC_X86)
#define DORNAVEL_CRC_TARGET __attribute__((target("sse4.2")))
DORNAVEL_CRC_TARGET inline std::uint64_t crcWord(std::uint64_t crc, const unsigned char* p) {
    return _mm_crc32_u64(crc, load64(p));
}
DORNAVEL_CRC_TARGET inline std::uint32_t crcByte(std::uint32_t crc, unsigned char b) {
    return _mm_crc32_u8(crc, b);
}
#elif defined(DORNAVEL_CRC_ARM)
#define DORNAVEL_CRC_TARGET
inline std::uint64_t crcWord(std::uint64_t crc, const unsigned char* p) {
    return __crc32cd(static_cast<std::uint32_t>(crc), load64(p));
}
inline std::uint32_t crcByte(std::uint32_t crc, unsigned char b) {
    return __crc32cb(crc, b);
}
#endif

#if defined(DORNAVEL_CRC_X86) || defined(DORNAVEL_CRC_ARM)
// The CRCs of four whole sectors side by side: the instruction's latency is hidden by the
// three others, so the processor finishes a word of each at every step.
DORNAVEL_CRC_TARGET void crcFourSectors(const unsigned char* p, std::uint32_t* out) {
    std::uint64_t c0 = 0xFFFFFFFFu, c1 = 0xFFFFFFFFu, c2 = 0xFFFFFFFFu, c3 = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < kSectorSize; i += 8) {
        c0 = crcWord(c0, p + i);
        c1 = crcWord(c1, p + kSectorSize + i);
        c2 = crcWord(c2, p + 2 * kSectorSize + i);
        c3 = crcWord(c3, p + 3 * kSectorSize + i);
    }
    out[0] = ~static_cast<std::uint32_t>(c0);
    out[1] = ~static_cast<std::uint32_t>(c1);
    out[2] = ~static_cast<std::uint32_t>(c2);
    out[3] = ~static_cast<std::uint32_t>(c3);
}
#endif

} // namespace

std::uint32_t crc32cPortable(const unsigned char* bytes, std::size_t size) {
    const CrcTables& t = crcTables();
    std::uint32_t crc = 0xFFFFFFFFu;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const std::uint64_t word = load64(bytes + i) ^ crc;
        crc = t.table[7][word & 0xFF] ^ t.table[6][(word >> 8) & 0xFF] ^ t.table[5][(word >> 16) & 0xFF] ^
              t.table[4][(word >> 24) & 0xFF] ^ t.table[3][(word >> 32) & 0xFF] ^ t.table[2][(word >> 40) & 0xFF] ^
              t.table[1][(word >> 48) & 0xFF] ^ t.table[0][word >> 56];
    }
    for (; i < size; ++i) crc = (crc >> 8) ^ t.table[0][(crc ^ bytes[i]) & 0xFF];
    return ~crc;
}

bool crc32cInHardware() {
#if defined(DORNAVEL_CRC_X86)
    return __builtin_cpu_supports("sse4.2");
#elif defined(DORNAVEL_CRC_ARM)
    return true;
#else
    return false;
#endif
}

#if defined(DORNAVEL_CRC_X86) || defined(DORNAVEL_CRC_ARM)
DORNAVEL_CRC_TARGET std::uint32_t crc32cHardware(const unsigned char* bytes, std::size_t size) {
    std::uint64_t crc = 0xFFFFFFFFu;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) crc = crcWord(crc, bytes + i);
    std::uint32_t low = static_cast<std::uint32_t>(crc);
    for (; i < size; ++i) low = crcByte(low, bytes[i]);
    return ~low;
}
#else
std::uint32_t crc32cHardware(const unsigned char* bytes, std::size_t size) {
    return crc32cPortable(bytes, size); // never called: crc32cInHardware() is false
}
#endif

// A CRC, unlike a sum, is changed by every swap of two different bytes of a sector, whatever
// their distance: the difference the swap makes is a multiple of the polynomial for none of
// them (the tests go through every distance and difference).
std::uint32_t sectorCheck(const unsigned char* bytes, std::size_t size) {
    return hardwareChecks() ? crc32cHardware(bytes, size) : crc32cPortable(bytes, size);
}

std::uint32_t sectorCheckOf(SectorCheckKind kind, const unsigned char* bytes, std::size_t size) {
    return kind == SectorCheckKind::Mixed ? mixedCheck(bytes, size) : sectorCheck(bytes, size);
}

void sectorChecks(const unsigned char* bytes, std::size_t size, std::uint32_t* checks) {
    std::size_t done = 0;
#if defined(DORNAVEL_CRC_X86) || defined(DORNAVEL_CRC_ARM)
    if (hardwareChecks())
        for (; done + 4 * kSectorSize <= size; done += 4 * kSectorSize, checks += 4) crcFourSectors(bytes + done, checks);
#endif
    for (; done < size; done += kSectorSize)
        *checks++ = sectorCheck(bytes + done, size - done < kSectorSize ? size - done : kSectorSize);
}
