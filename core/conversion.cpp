#include "core/conversion.h"

#include <cstdint>
#include <cstring>

#if !defined(DORNAVEL_PORTABLE_PASSES) && \
    (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#include <emmintrin.h>
#define DORNAVEL_SSE2 1
#endif

// Both passes work a block at a time: 64 bytes through SSE2 registers where the processor
// has them (every x86-64 does), then 8-byte words, then single groups for the tail. Loads
// and stores go through memcpy or unaligned intrinsics, so the image needs no alignment;
// only a large image that happens to start on a 16-byte boundary (as heap blocks do) gets
// its blocks written with non-temporal stores.

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
// Images at least this long are written back with non-temporal stores: they outgrow the
// caches anyway, and stores that go straight to memory let the pass run at the speed of a
// plain copy instead of evicting a dirty line for every line it reads.
const std::size_t kStreamFrom = 4u * 1024u * 1024u;

// Exchanges the bytes of each 2-byte lane with two bit shifts.
inline __m128i swapPairsOfVector(__m128i x) {
    return _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
}

// The same exchange by moving the low and the high bytes one place across the register. It
// runs on other execution units than the bit shifts, so a reversal alternates the two.
inline __m128i swapPairsOfVectorByMoves(__m128i x) {
    const __m128i low = _mm_set1_epi16(0x00FF);
    return _mm_or_si128(_mm_slli_si128(_mm_and_si128(x, low), 1),
                        _mm_srli_si128(_mm_andnot_si128(low, x), 1));
}

// Exchanges the 2-byte halves of each 4-byte lane with two word shuffles.
inline __m128i swapHalvesOfVector(__m128i x) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xB1), 0xB1);
}

// Writes v to p: a non-temporal store when Stream (p is then 16-byte aligned), else an
// unaligned one.
template <bool Stream>
inline void storeVector(unsigned char* p, __m128i v) {
    if constexpr (Stream)
        _mm_stream_si128(reinterpret_cast<__m128i*>(p), v);
    else
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Runs the pass over the 64-byte blocks of the first `bytes` bytes; returns how many bytes
// it covered. Reverse adds the exchange of 2-byte halves to the exchange of bytes.
template <bool Reverse, bool Stream>
std::size_t transformBlocks(unsigned char* image, std::size_t bytes) {
    std::size_t i = 0;
    for (; i + 64 <= bytes; i += 64) {
        unsigned char* p = image + i;
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
        if constexpr (Reverse) {
            a = swapHalvesOfVector(swapPairsOfVector(a));
            b = swapHalvesOfVector(swapPairsOfVectorByMoves(b));
            c = swapHalvesOfVector(swapPairsOfVector(c));
            d = swapHalvesOfVector(swapPairsOfVectorByMoves(d));
        } else {
            a = swapPairsOfVector(a);
            b = swapPairsOfVector(b);
            c = swapPairsOfVector(c);
            d = swapPairsOfVector(d);
        }
        storeVector<Stream>(p, a);
        storeVector<Stream>(p + 16, b);
        storeVector<Stream>(p + 32, c);
        storeVector<Stream>(p + 48, d);
    }
    if constexpr (Stream) _mm_sfence(); // the streamed stores are ordered before anything that follows
    return i;
}

// The block part of a pass: streamed for a large image that starts on a 16-byte boundary.
template <bool Reverse>
std::size_t transformBlocks(unsigned char* image, std::size_t bytes) {
    const bool aligned = reinterpret_cast<std::uintptr_t>(image) % 16 == 0;
    if (bytes >= kStreamFrom && aligned) return transformBlocks<Reverse, true>(image, bytes);
    return transformBlocks<Reverse, false>(image, bytes);
}
#endif

// Runs the pass over the whole 8-byte words of the first `bytes` bytes; returns how many
// bytes it covered. reverse adds the exchange of 2-byte halves to the exchange of bytes.
std::size_t transformWords(unsigned char* image, std::size_t bytes, bool reverse) {
    std::size_t i = 0;
#ifdef DORNAVEL_SSE2
    i = reverse ? transformBlocks<true>(image, bytes) : transformBlocks<false>(image, bytes);
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

void convertOrder(unsigned char* image, std::size_t n, ByteOrder from, ByteOrder to) {
    if (from == to) return;
    runPassOf(image, n, from);
    runPassOf(image, n, to);
}

// Big-endian and None move nothing; Doctor V64 moves bytes within pairs, little-endian
// within groups of four, and a change between the two within groups of four as well.
std::size_t conversionGroup(ByteOrder from, ByteOrder to) {
    const auto group = [](ByteOrder order) -> std::size_t {
        if (order == ByteOrder::LittleEndian) return 4;
        return order == ByteOrder::DoctorV64 ? 2 : 0;
    };
    if (from == to) return 0;
    const std::size_t a = group(from);
    const std::size_t b = group(to);
    return a > b ? a : b;
}
