// ROM images for the identity tests: the real homebrew ROM the test script points to, and
// synthetic images whose check codes are known from the boot-code translations.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "core/tests/test_files.h"

// The real ROM (a 1 MiB homebrew demo stored in the v64 order), read from the path in
// DORNAVEL_TEST_ROM; empty when the variable is not set or the file is not there.
inline Bytes realRom() {
    const char* path = std::getenv("DORNAVEL_TEST_ROM");
    if (!path || !*path || !fileExists(path)) return Bytes();
    return readFile(path);
}

// Skips the current test, saying why, when the real ROM is not available.
#define SKIP_WITHOUT_REAL_ROM(rom)                                                                      \
    if ((rom).empty()) GTEST_SKIP() << "DORNAVEL_TEST_ROM does not name the real test ROM "              \
                                       "(scripts/test.sh sets it when ../shared/roms/m64p_test_rom.v64 exists)"

// The real ROM's facts: its header code, and the digests of its big-endian image as
// md5sum, sha1sum and rhash give them for the file converted with dd conv=swab.
const std::uint32_t kRealCrc1 = 0xDDBA4DE5;
const std::uint32_t kRealCrc2 = 0xB107004A;
const char* const kRealCrc32 = "F114490F";
const char* const kRealMd5 = "DBF04773EC2B8ADF8A94DB7E3E461138";
const char* const kRealSha1 = "42DFD5942C650C473DEC3A415BA185E2597773F4";
const char* const kRealGoodName = "Mupen64Plus Demo by Marshallh (GPL)";

// The size a check code covers: header and boot code, then 1 MiB of data.
const std::size_t kCheckedImageSize = 0x101000;

// Feeds std::mt19937 the state CPython's random.seed(n) gives for a small n (its
// init_by_array over one key word), so the engine draws the numbers CPython draws.
struct CPythonSeed {
    using result_type = std::uint32_t;
    std::uint32_t key;
    template <typename It>
    void generate(It begin, It end) const {
        const std::size_t n = 624;
        std::uint32_t mt[624];
        mt[0] = 19650218u;
        for (std::uint32_t i = 1; i < n; ++i) mt[i] = 1812433253u * (mt[i - 1] ^ (mt[i - 1] >> 30)) + i;
        std::size_t i = 1;
        for (std::size_t k = 0; k < n; ++k) { // one key word: j stays 0
            mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1664525u)) + key;
            if (++i >= n) { mt[0] = mt[n - 1]; i = 1; }
        }
        for (std::size_t k = 0; k < n - 1; ++k) {
            mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1566083941u)) - static_cast<std::uint32_t>(i);
            if (++i >= n) { mt[0] = mt[n - 1]; i = 1; }
        }
        mt[0] = 0x80000000u;
        for (std::size_t k = 0; begin != end; ++begin, ++k) *begin = mt[k];
    }
};

// The ipl3checksum project's dummy ROM: 0x1000 zero bytes, then 1 MiB drawn as CPython's
// random.seed(0xA1F); random.randint(0, 0xFF) draws them (9 random bits, redrawn when 256
// or more). Its header's check code is left zero here.
inline Bytes ipl3checksumDummy() {
    CPythonSeed seed{0xA1F};
    std::mt19937 engine(seed);
    Bytes image(kCheckedImageSize, 0);
    for (std::size_t i = 0x1000; i < image.size(); ++i) {
        std::uint32_t r;
        do r = static_cast<std::uint32_t>(engine()) >> 23; while (r >= 256);
        image[i] = static_cast<unsigned char>(r);
    }
    return image;
}

// A patterned image of the checked size: byte i is i * 31 + (i >> 8), modulo 256.
inline Bytes patternedImage() {
    Bytes image(kCheckedImageSize);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i * 31 + (i >> 8));
    return image;
}
