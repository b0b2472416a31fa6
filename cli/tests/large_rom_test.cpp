// A ROM of 64 MiB, the largest cartridge size, converted in place between every pair of
// orders and checked against a byte-by-byte reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "cli_runner.h"
#include "rom_images.h"

namespace {

constexpr std::size_t kLargeRomSize = std::size_t(64) << 20;

// A big-endian image of kLargeRomSize bytes: a real ROM's first four bytes, then a
// pseudo-random pattern, so that any misplaced byte shows.
Bytes bigPattern() {
    Bytes image(kLargeRomSize);
    unsigned char* bytes = image.data();
    std::uint32_t state = 2463534242u;
    for (std::size_t i = 0; i < image.size(); i += 4) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = static_cast<unsigned char>(state >> 24);
        bytes[i + 1] = static_cast<unsigned char>(state >> 16);
        bytes[i + 2] = static_cast<unsigned char>(state >> 8);
        bytes[i + 3] = static_cast<unsigned char>(state);
    }
    const unsigned char header[] = {0x80, 0x37, 0x12, 0x40};
    std::memcpy(bytes, header, sizeof header);
    return image;
}

// The big-endian image laid out in order, one byte at a time: of each group A B C D,
// little-endian takes D C B A and Doctor V64 B A D C.
Bytes arranged(const Bytes& big, const std::string& order) {
    std::size_t take[4] = {0, 1, 2, 3};
    if (order == "little") {
        const std::size_t reversed[4] = {3, 2, 1, 0};
        std::copy(reversed, reversed + 4, take);
    } else if (order == "v64") {
        const std::size_t pairsSwapped[4] = {1, 0, 3, 2};
        std::copy(pairsSwapped, pairsSwapped + 4, take);
    }
    Bytes image(big.size());
    const unsigned char* from = big.data();
    unsigned char* to = image.data();
    for (std::size_t group = 0; group < big.size(); group += 4)
        for (std::size_t k = 0; k < 4; ++k) to[group + k] = from[group + take[k]];
    return image;
}

// The whole content of a large file, read in one go.
Bytes readLargeFile(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary | std::ios::ate);
    Bytes bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(in.good()) << path;
    return bytes;
}

// The offset of the first byte where two images of the same size differ, or their size
// when none does.
std::size_t firstDifference(const Bytes& a, const Bytes& b) {
    if (std::memcmp(a.data(), b.data(), a.size()) == 0) return a.size();
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin()).first - a.begin());
}

} // namespace

class LargeRom : public testing::TestWithParam<OrderPair> {};

// The file written in the source order holds, after one run, the target order of the same
// pattern at every one of its bytes.
TEST_P(LargeRom, IsConvertedInPlaceByteForByte) {
    const OrderPair pair = GetParam();
    const Bytes big = bigPattern();
    ScratchFolder folder;
    const std::string rom = folder.path("large.rom");
    writeFile(rom, arranged(big, pair.from));

    const CliRun run = runCli({"convert", "--to", pair.to, rom});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, rom + ": " + pair.from + " -> " + pair.to + "\n");
    const Bytes expected = arranged(big, pair.to);
    const Bytes result = readLargeFile(rom);
    ASSERT_EQ(result.size(), expected.size());
    EXPECT_EQ(firstDifference(result, expected), expected.size()) << "first differing byte";
}

INSTANTIATE_TEST_SUITE_P(EveryPair, LargeRom, testing::ValuesIn(kEveryConversion), pairName);
