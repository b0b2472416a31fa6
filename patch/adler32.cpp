#include "patch/adler32.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define DORNAVEL_ADLER_SSE2 1
#endif

namespace {

const std::uint32_t kBase = 65521; // the largest prime below 2^16

// The two sums over n more bytes, one byte at a time (reduced at the end; n is small).
void addBytes(std::uint64_t& s1, std::uint64_t& s2, const unsigned char* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        s1 += bytes[i];
        s2 += s1;
    }
    s1 %= kBase;
    s2 %= kBase;
}

#ifdef DORNAVEL_ADLER_SSE2
// The four 32-bit lanes of v added up.
std::uint64_t laneSum(__m128i v) {
    alignas(16) std::uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
    return std::uint64_t(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
}

// The sums over a block of 16 * chunks bytes. Over the block, s2 grows by the block's length
// times s1, plus each byte weighted by its distance from the block's end: for chunk c of k,
// 16 * (k - 1 - c) times its sum (the sums of the chunks before each chunk, added up), and
// within the chunk the weights 16 down to 1.
void addBlock(std::uint64_t& s1, std::uint64_t& s2, const unsigned char* bytes, std::size_t chunks) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lowWeights = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i highWeights = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    __m128i sums = zero, before = zero, weighted = zero;
    for (std::size_t c = 0; c < chunks; ++c) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * c));
        before = _mm_add_epi32(before, sums);
        sums = _mm_add_epi32(sums, _mm_sad_epu8(chunk, zero));
        weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(chunk, zero), lowWeights));
        weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(chunk, zero), highWeights));
    }
    s2 = (s2 + 16 * chunks * s1 + 16 * laneSum(before) + laneSum(weighted)) % kBase;
    s1 = (s1 + laneSum(sums)) % kBase;
}
#endif

} // namespace

// Blocks of 346 chunks keep every 32-bit lane below 2^32.
std::uint32_t adler32Of(const unsigned char* bytes, std::size_t n) {
    std::uint64_t s1 = 1, s2 = 0;
#ifdef DORNAVEL_ADLER_SSE2
    const std::size_t kBlockChunks = 346;
    while (n >= 16) {
        const std::size_t chunks = n / 16 < kBlockChunks ? n / 16 : kBlockChunks;
        addBlock(s1, s2, bytes, chunks);
        bytes += 16 * chunks;
        n -= 16 * chunks;
    }
#else
    const std::size_t kBlock = 5552; // zlib's longest run between reductions
    for (; n > kBlock; bytes += kBlock, n -= kBlock) addBytes(s1, s2, bytes, kBlock);
#endif
    addBytes(s1, s2, bytes, n);
    return static_cast<std::uint32_t>(s2 << 16 | s1);
}
