// Check codes against vectors from the boot-code translations, one or more per chip family.
#include "identity/check_code.h"

#include <gtest/gtest.h>

#include "identity/rom_header.h"
#include "identity/tests/rom_samples.h"

namespace {

// An image to check, a chip to check it for and the code its boot code computes.
struct Vector {
    const char* image; // "dummy", "pattern", "zeros" or "equal" (see imageNamed)
    BootChip chip;
    std::uint32_t crc1;
    std::uint32_t crc2;
};

// The images of the vectors, made once.
const Bytes& imageNamed(const std::string& name) {
    static const Bytes dummy = ipl3checksumDummy();
    static const Bytes pattern = patternedImage();
    static const Bytes zeros(kCheckedImageSize, 0);
    static const Bytes equal = [] {
        Bytes image(kCheckedImageSize, 0);
        const unsigned char seed[4] = {0xF8, 0xCA, 0x4D, 0xDC}; // the 6102 seed as the first data word
        for (int i = 0; i < 4; ++i) image[0x1000 + i] = seed[i];
        return image;
    }();
    if (name == "dummy") return dummy;
    if (name == "pattern") return pattern;
    if (name == "equal") return equal;
    return zeros;
}

const Vector kVectors[] = {
    // ipl3checksum's dummy ROMs carry these codes in their headers.
    {"dummy", BootChip::Cic6102, 0x31E282B9, 0xBA271CE1},
    {"dummy", BootChip::Cic6103, 0xABA8B044, 0x30D2A660},
    {"dummy", BootChip::Cic6105, 0x1746232F, 0xE87AF1D3}, // its 6105 table is all zero
    {"dummy", BootChip::Cic6106, 0x2D694D46, 0x9D1C8275},
    {"dummy", BootChip::Cic5101, 0x5E408948, 0xB447D3FC},
    // The patterned image makes the 6105 table non-zero.
    {"pattern", BootChip::Cic6102, 0xF8CE4DDC, 0x56F70532},
    {"pattern", BootChip::Cic6103, 0xA3946759, 0xD480F2D6},
    {"pattern", BootChip::Cic6105, 0xDF2AF436, 0x1C110D6C},
    {"pattern", BootChip::Cic6106, 0x04100F9E, 0x69D1EC3A},
    {"pattern", BootChip::Cic5101, 0x952C4FDD, 0xD588BEC8},
    // 6101 and 7102 share 6102's seed and steps.
    {"zeros", BootChip::Cic6102, 0xF8CA4DDC, 0x303A4DDC},
    {"zeros", BootChip::Cic6101, 0xF8CA4DDC, 0x303A4DDC},
    {"zeros", BootChip::Cic7102, 0xF8CA4DDC, 0x303A4DDC},
    // A data word equal to the running value takes the boot code's branch (tools that test
    // the other way round give 12367389 here).
    {"equal", BootChip::Cic6102, 0x095ED665, 0xD4E40130},
};

class CheckCodeVectors : public testing::TestWithParam<Vector> {};

TEST_P(CheckCodeVectors, MatchTheBootCode) {
    const Vector& v = GetParam();
    const Bytes& image = imageNamed(v.image);
    CheckCode code;
    ASSERT_TRUE(computeCheckCode(v.chip, image.data(), image.size(), 0x80000400, code));
    EXPECT_EQ(code.crc1, v.crc1) << std::hex << code.crc1;
    EXPECT_EQ(code.crc2, v.crc2) << std::hex << code.crc2;
}

INSTANTIATE_TEST_SUITE_P(Families, CheckCodeVectors, testing::ValuesIn(kVectors));

// A short image counts as padded with zeros: the all-zero code comes out of 0x1000 bytes.
TEST(CheckCode, BytesPastTheEndCountAsZero) {
    const Bytes image(0x1001, 0);
    CheckCode code;
    ASSERT_TRUE(computeCheckCode(BootChip::Cic6102, image.data(), image.size(), 0, code));
    EXPECT_EQ(code.crc1, 0xF8CA4DDCu);
    EXPECT_EQ(code.crc2, 0x303A4DDCu);
}

// Whatever the short image's length, even one that ends inside a word, its code is that of
// the same bytes with the zeros written out.
TEST(CheckCode, ShortImageEqualsItsPaddedCopy) {
    const Bytes& pattern = imageNamed("pattern");
    for (std::size_t size : {std::size_t(0x1001), std::size_t(0x1002), std::size_t(0x1003), std::size_t(0x8006)}) {
        Bytes padded(pattern.begin(), pattern.begin() + size);
        padded.resize(kCheckedImageSize, 0);
        for (BootChip chip : {BootChip::Cic6102, BootChip::Cic6105}) {
            CheckCode shortCode, paddedCode;
            ASSERT_TRUE(computeCheckCode(chip, pattern.data(), size, 0, shortCode));
            ASSERT_TRUE(computeCheckCode(chip, padded.data(), padded.size(), 0, paddedCode));
            EXPECT_EQ(shortCode.crc1, paddedCode.crc1) << size;
            EXPECT_EQ(shortCode.crc2, paddedCode.crc2) << size;
        }
    }
}

// The Aleck64 boot code checks almost 4 MiB for one entry point, 1 MiB otherwise; chips
// without a known check code have none.
TEST(CheckCode, CheckedLengthDependsOnChipAndEntryPoint) {
    EXPECT_EQ(checkedLength(BootChip::Cic5101, 0x80100400), 0x3FE000u);
    EXPECT_EQ(checkedLength(BootChip::Cic5101, 0x80000400), 0x100000u);
    EXPECT_EQ(checkedLength(BootChip::Cic6106, 0x80100400), 0x100000u);
    EXPECT_EQ(checkedLength(BootChip::Cic8303, 0x80000400), 0u);
    EXPECT_EQ(checkedLength(BootChip::Unknown, 0x80000400), 0u);
    CheckCode code;
    EXPECT_FALSE(computeCheckCode(BootChip::Unknown, imageNamed("zeros").data(), kCheckedImageSize, 0, code));
}

// Chip names as a user types them.
TEST(BootChipNames, ParseNumbersAndPrefixes) {
    const struct {
        const char* text;
        bool accepted;
        BootChip chip;
    } cases[] = {
        {"6102", true, BootChip::Cic6102},        {"7101", true, BootChip::Cic6102},
        {"cic-nus-6105", true, BootChip::Cic6105}, {"CIC7106", true, BootChip::Cic6106},
        {"5101", true, BootChip::Cic5101},        {"7102", true, BootChip::Cic7102},
        {"8303", false, BootChip::Unknown},       // no check code to compute
        {"6104", false, BootChip::Unknown},       {"", false, BootChip::Unknown},
        {"61020", false, BootChip::Unknown},
    };
    for (const auto& c : cases) {
        BootChip chip = BootChip::Unknown;
        EXPECT_EQ(parseBootChip(c.text, chip), c.accepted) << c.text;
        EXPECT_EQ(chip, c.chip) << c.text;
    }
}

} // namespace
