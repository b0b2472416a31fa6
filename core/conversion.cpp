#include "core/conversion.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define DORNAVEL_SSE2 1
#endif

// Both passes work a block at a time: 64 bytes through SSE2 registers where the processor
// has them (every x86-64 does), then 8-byte words, then single groups for the tail. Loads
// and stores go through memcpy or unaligned intrinsics, so the image needs no alignment.

namespace {

const std::uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
const std::uint64_t kLowHalves = 0x0000FFFF0000FFFFull;

// Exchanges the bytes of each 2-byte lane of a word.
inline std::uint64_t swapPairsOfWord(std::uint64_t x) {
    return ((x & kLowBytes) << 8) | ((x >> 8) & kLowBytes);
}

// Exchanges the 2-byte halves of each 4-byte lane of a word.
inline std::uint64_t swapHalvesOfWord(std::uint64_t x) {
    return ((x & kLowHalves) << 16) | ((x >> 16) & kLowHalves);
}

#ifdef DORNAVEL_SSE2
inline __m128i swapPairsOfVector(__m128i x) {
    return _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
}

inline __m128i swapHalvesOfVector(__m128i x) {
    return _mm_or_si128(_mm_slli_epi32(x, 16), _mm_srli_epi32(x, 16));
}
#endif

// Runs the pass over the whole 8-byte words of the first `bytes` bytes; returns how many
// bytes it covered. reverse adds the exchange of 2-byte halves to the exchange of bytes.
std::size_t transformWords(unsigned char* image, std::size_t bytes, bool reverse) {
    std::size_t i = 0;
#ifdef DORNAVEL_SSE2
    for (; i + 64 <= bytes; i += 64) {
        __m128i* p = reinterpret_cast<__m128i*>(image + i);
        __m128i a = swapPairsOfVector(_mm_loadu_si128(p));
        __m128i b = swapPairsOfVector(_mm_loadu_si128(p + 1));
        __m128i c = swapPairsOfVector(_mm_loadu_si128(p + 2));
        __m128i d = swapPairsOfVector(_mm_loadu_si128(p + 3));
        if (reverse) {
            a = swapHalvesOfVector(a);
            b = swapHalvesOfVector(b);
            c = swapHalvesOfVector(c);
            d = swapHalvesOfVector(d);
        }
        _mm_storeu_si128(p, a);
        _mm_storeu_si128(p + 1, b);
        _mm_storeu_si128(p + 2, c);
        _mm_storeu_si128(p + 3, d);
    }
#endif
    for (; i + 8 <= bytes; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, image + i, 8);
        word = swapPairsOfWord(word);
        if (reverse) word = swapHalvesOfWord(word);
        std::memcpy(image + i, &word, 8);
    }
    return i;
}

} // namespace

void swapPairs(unsigned char* image, std::size_t n) {
    const std::size_t whole = n - n % 2;
    for (std::size_t i = transformWords(image, whole, false); i < whole; i += 2) {
        const unsigned char a = image[i];
        image[i] = image[i + 1];
        image[i + 1] = a;
    }
}

void reverseQuads(unsigned char* image, std::size_t n) {
    const std::size_t whole = n - n % 4;
    for (std::size_t i = transformWords(image, whole, true); i < whole; i += 4) {
        unsigned char t = image[i];
        image[i] = image[i + 3];
        image[i + 3] = t;
        t = image[i + 1];
        image[i + 1] = image[i + 2];
        image[i + 2] = t;
    }
}

// Little-endian differs from big-endian by a reversal of each 4-byte group, Doctor V64 by
// an exchange of each 2-byte pair; both are their own inverse, so one table serves both ways.
static void runPassOf(unsigned char* image, std::size_t n, ByteOrder order) {
    switch (order) {
    case ByteOrder::LittleEndian: reverseQuads(image, n); break;
    case ByteOrder::DoctorV64: swapPairs(image, n); break;
    case ByteOrder::BigEndian:
    case ByteOrder::None: break;
    }
}

void convertToBig(unsigned char* image, std::size_t n, ByteOrder from) {
    runPassOf(image, n, from);
}

void convertFromBig(unsigned char* image, std::size_t n, ByteOrder to) {
    runPassOf(image, n, to);
}
