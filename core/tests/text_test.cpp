// The small text helpers: hexadecimal numbers, ASCII lower case, UTF-8 lengths, byte escapes.
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

// One text, where a sequence is looked at, and its length (0: not UTF-8 there).
struct SequenceCase {
    std::string text;
    std::size_t at;
    std::size_t length;
};

TEST(Utf8, SequenceLengths) {
    const SequenceCase cases[] = {
        {"a", 0, 1},
        {"\xC3\xA9", 0, 2},
        {"\xC3", 0, 0},                 // cut at the end
        {"\xC3" "a", 0, 0},             // a lead byte without its continuation
        {"\xE3\x82\xBC", 0, 3},
        {"\xE3\x82" "a", 0, 0},
        {"\xF0\x9F\x8E\xAE", 0, 4},
        {"\xF0\x9F\x8E" "a", 0, 0},
        {"x\xC3\xA9", 1, 2},            // looked at from the middle
        {"\xC1\xBF", 0, 0},             // C0 and C1 only ever start overlong forms
        {"\xED\xA0\x80", 0, 0},         // a surrogate
        {"\xF4\x90\x80\x80", 0, 0},     // past U+10FFFF
    };
    for (const SequenceCase& c : cases) EXPECT_EQ(utf8SequenceLength(c.text, c.at), c.length) << c.text;
    EXPECT_TRUE(isUtf8("Zelda \xE2\x80\x93 \xE3\x82\xBC"));
    EXPECT_FALSE(isUtf8("caf\xE9")); // a Latin-1 name
    EXPECT_TRUE(isUtf8(""));
}

// One byte and how it is written.
struct EscapeCase {
    unsigned char byte;
    const char* text;
};

TEST(EscapedAscii, EveryByteCanBeToldBack) {
    const EscapeCase cases[] = {
        {'A', "A"}, {' ', " "}, {'~', "~"}, // printable ASCII as it is
        {'\\', "\\\\"},                     // doubled, so that no byte passes for an escape
        {'\t', "\\t"}, {'\n', "\\n"}, {'\r', "\\r"},
        {0x00, "\\x00"}, {0x1F, "\\x1F"}, {0x7F, "\\x7F"}, {0xAB, "\\xAB"}, // two upper-case digits
    };
    for (const EscapeCase& c : cases) {
        std::string text = "<";
        appendEscapedAscii(text, c.byte);
        EXPECT_EQ(text, std::string("<") + c.text) << c.text; // appended, nothing before it lost
    }
}

} // namespace
