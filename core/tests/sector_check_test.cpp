// The check of a sector: the CRC-32C, through the processor's instruction and the table
// alike, changed by every swap of two bytes; and the earlier check, which old records hold.
#include "core/sector_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ascii(const char* text) {
    return Bytes(text, text + std::strlen(text));
}

// Bytes that differ from their neighbours, long enough for every path of the CRC.
Bytes counting(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + i / 251 + 1);
    return bytes;
}

// Published CRC-32C values (RFC 3720, B.4, and the usual check value of "123456789").
const struct {
    const char* name;
    Bytes bytes;
    std::uint32_t crc;
} kKnown[] = {
    {"nothing", {}, 0x00000000u},
    {"check string", ascii("123456789"), 0xE3069283u},
    {"32 zeros", Bytes(32, 0x00), 0x8A9136AAu},
    {"32 bytes 0xFF", Bytes(32, 0xFF), 0x62A8AB43u},
    {"32 ascending", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
                      24, 25, 26, 27, 28, 29, 30, 31}, 0x46DD794Eu},
};

TEST(SectorCheck, TablePathGivesThePublishedCrc32c) {
    for (const auto& k : kKnown) EXPECT_EQ(crc32cPortable(k.bytes.data(), k.bytes.size()), k.crc) << k.name;
}

TEST(SectorCheck, HardwarePathGivesThePublishedCrc32c) {
    if (!crc32cInHardware()) GTEST_SKIP() << "no CRC-32C instruction on this processor";
    for (const auto& k : kKnown) EXPECT_EQ(crc32cHardware(k.bytes.data(), k.bytes.size()), k.crc) << k.name;
}

// Every length from 0 to a sector and a bit: the word loop and the byte tail of both paths.
TEST(SectorCheck, BothPathsAgreeAtEveryLength) {
    if (!crc32cInHardware()) GTEST_SKIP() << "no CRC-32C instruction on this processor";
    const Bytes bytes = counting(kSectorSize + 9);
    for (std::size_t size = 0; size <= bytes.size(); ++size)
        ASSERT_EQ(crc32cHardware(bytes.data(), size), crc32cPortable(bytes.data(), size)) << size;
}

// The checks of a run of sectors, four at a time where they can be, are those of each one
// alone; the short last sector is checked over its own bytes.
TEST(SectorCheck, ChecksOfARunAreThoseOfEachSector) {
    for (const std::size_t size : {std::size_t(0), kSectorSize - 3, 5 * kSectorSize, 9 * kSectorSize + 100}) {
        const Bytes bytes = counting(size);
        const std::size_t count = (size + kSectorSize - 1) / kSectorSize;
        std::vector<std::uint32_t> checks(count + 1, 0xDEADBEEFu);
        sectorChecks(bytes.data(), size, checks.data());
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t length = std::min(kSectorSize, size - i * kSectorSize);
            EXPECT_EQ(checks[i], crc32cPortable(bytes.data() + i * kSectorSize, length)) << size << " #" << i;
        }
        EXPECT_EQ(checks[count], 0xDEADBEEFu) << size; // nothing written past the last sector
    }
}

// A swap of two different bytes a and b is a difference of a ^ b at both places, whatever
// the rest: so two bytes d apart in a sector of zeros stand for every swap at that distance.
// None of the 511 distances and 255 differences leaves the check unchanged.
TEST(SectorCheck, EverySwapOfTwoDifferentBytesChangesIt) {
    std::size_t unchanged = 0;
    Bytes before(kSectorSize, 0), after(kSectorSize, 0);
    for (std::size_t distance = 1; distance < kSectorSize; ++distance) {
        for (unsigned difference = 1; difference < 256; ++difference) {
            before[0] = after[distance] = static_cast<unsigned char>(difference);
            unchanged += sectorCheck(before.data(), kSectorSize) == sectorCheck(after.data(), kSectorSize);
            before[0] = after[distance] = 0;
        }
    }
    EXPECT_EQ(unchanged, 0u);
}

// Records of versions 1 and 2 hold the earlier check: its values stay what they were.
TEST(SectorCheck, TheEarlierCheckIsKeptForOldRecords) {
    const Bytes sector = {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x14, 0x4C};
    EXPECT_EQ(sectorCheckOf(SectorCheckKind::Mixed, sector.data(), sector.size()), 0xC09A93A7u);
    const Bytes whole = counting(kSectorSize);
    EXPECT_EQ(sectorCheckOf(SectorCheckKind::Mixed, whole.data(), whole.size()), 0xF79AAD5Fu);
    EXPECT_EQ(sectorCheckOf(SectorCheckKind::Crc32c, whole.data(), whole.size()), crc32cPortable(whole.data(), whole.size()));
}

} // namespace
