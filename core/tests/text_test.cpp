// The small text helpers: hexadecimal numbers and ASCII lower case.
#include "core/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// One value and its eight digits.
struct HexCase {
    std::uint32_t value;
    const char* text;
};

TEST(Hex32, EightUpperCaseDigits) {
    const HexCase cases[] = {
        {0, "00000000"},          // leading zeros are kept: catalogues compare the text
        {0xABCDEF, "00ABCDEF"},   // upper case, as catalogues and flash carts write codes
        {0xDDBA4DE5, "DDBA4DE5"}, // the top bit set: no sign
        {0xFFFFFFFF, "FFFFFFFF"},
    };
    for (const HexCase& c : cases) EXPECT_EQ(hex32(c.value), c.text) << c.text;
}

TEST(HexDigitValue, BothLetterCasesAndNothingElse) {
    const char digits[] = "0123456789abcdefABCDEF";
    const int values[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 10, 11, 12, 13, 14, 15};
    for (std::size_t i = 0; i < sizeof values / sizeof values[0]; ++i)
        EXPECT_EQ(hexDigitValue(digits[i]), values[i]) << digits[i];
    // The characters just past each range of digits are none.
    for (const char c : {'/', ':', '@', 'G', '`', 'g', ' ', '\0'}) EXPECT_EQ(hexDigitValue(c), -1) << c;
}

// One text and its lower case.
struct LowerCase {
    std::string text;
    std::string lower;
};

TEST(LowerAscii, OnlyTheAsciiLettersChange) {
    const LowerCase cases[] = {
        {"GAME.Z64", "game.z64"},
        {"@AZ[`az{", "@az[`az{"},                     // the bytes around A-Z and a-z stay
        {"\xC3\x89T\xC3\x89", "\xC3\x89t\xC3\x89"},   // "ÉTÉ": the UTF-8 bytes are left alone
        {std::string("A\0B", 3), std::string("a\0b", 3)},
    };
    for (const LowerCase& c : cases) EXPECT_EQ(lowerAscii(c.text), c.lower) << c.text;
}

} // namespace
