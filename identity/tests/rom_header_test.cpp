// Header fields and the texts they are shown with.
#include "identity/rom_header.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Header texts stay valid UTF-8 and keep every byte: katakana decoded, the rest escaped.
TEST(HeaderText, KeepsEveryByteReadably) {
    const struct {
        const char* bytes;
        std::size_t n;
        const char* text;
    } cases[] = {
        {"SUPER MARIO 64      ", 20, "SUPER MARIO 64"},          // space padding dropped
        {"ZELDA\0\0\0", 8, "ZELDA"},                              // zero padding dropped
        {"\xBE\xDE\xD9\xC0", 4, "\xEF\xBD\xBE\xEF\xBE\x9E\xEF\xBE\x99\xEF\xBE\x80"}, // ｾﾞﾙﾀ
        {"\x82\xA0 A", 4, "\\x82\\xA0 A"},                        // a Shift-JIS pair, escaped
        {"\xA1\xDF\xE0", 3, "\xEF\xBD\xA1\xEF\xBE\x9F\\xE0"},         // the katakana range's ends
        {"A\\B\x01\x7F", 5, "A\\\\B\\x01\\x7F"},                  // the backslash is doubled
        {"A\nB\tC", 5, "A\\nB\\tC"},                               // escaped as file names are
        {"  X\0 ", 5, "  X"},                                     // only trailing padding goes
    };
    for (const auto& c : cases)
        EXPECT_EQ(headerText(reinterpret_cast<const unsigned char*>(c.bytes), c.n), c.text) << c.text;
}

// The fields at their offsets, read big-endian.
TEST(ReadHeader, TakesEachFieldFromItsPlace) {
    unsigned char image[0x40];
    for (int i = 0; i < 0x40; ++i) image[i] = static_cast<unsigned char>(i);
    RomHeader header;
    EXPECT_FALSE(readHeader(image, 0x3F, header)); // one byte short
    ASSERT_TRUE(readHeader(image, 0x40, header));
    EXPECT_EQ(header.clockRate, 0x04050607u);
    EXPECT_EQ(header.entryPoint, 0x08090A0Bu);
    EXPECT_EQ(header.libultra, 0x0C0D0E0Fu);
    EXPECT_EQ(header.crc1, 0x10111213u);
    EXPECT_EQ(header.crc2, 0x14151617u);
    EXPECT_EQ(header.name[0], 0x20);
    EXPECT_EQ(header.name[19], 0x33);
    EXPECT_EQ(header.category, 0x3B);
    EXPECT_EQ(header.cartridgeId[1], 0x3D);
    EXPECT_EQ(header.region, 0x3E);
    EXPECT_EQ(header.revision, 0x3F);
}

// Game codes, regions and releases as shown.
TEST(HeaderFields, Texts) {
    RomHeader header;
    EXPECT_EQ(gameCode(header), ""); // homebrew: all zero
    std::memcpy(&header.category, "N", 1);
    std::memcpy(header.cartridgeId, "SM", 2);
    header.region = 'E';
    EXPECT_EQ(gameCode(header), "NSME");
    header.region = 0;
    EXPECT_EQ(gameCode(header), "NSM\\x00"); // a zero inside a code is shown, not dropped

    EXPECT_STREQ(regionFacts('E').name, "USA");
    EXPECT_STREQ(regionFacts('P').video, "PAL");
    EXPECT_STREQ(regionFacts('C').video, "disputed"); // PAL in some sources, NTSC in others
    EXPECT_STREQ(regionFacts('Q').name, "unknown");
    EXPECT_STREQ(categoryName('D'), "64DD disk");

    EXPECT_EQ(libultraName(0x0000144C), "2.0L");
    EXPECT_EQ(libultraName(0x00001444), "2.0D");
    EXPECT_EQ(libultraName(0x00000A41), "1.0A"); // the lowest release, the first letter
    EXPECT_EQ(libultraName(0x0000635A), "9.9Z");
    EXPECT_EQ(libultraName(0x00000941), "");     // release 0.9 never was
    EXPECT_EQ(libultraName(0x00000000), "");
    EXPECT_EQ(libultraName(0x0100144C), "");
}

} // namespace
