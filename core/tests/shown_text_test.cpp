// Text shown safely: every control character and every byte that is not UTF-8 escaped.
#include <gtest/gtest.h>

#include <string>

#include "core/shown_text.h"

namespace {

// One text, how it is shown with the backslash doubled, and whether it is UTF-8.
struct ShownCase {
    const char* why;
    std::string text;
    std::string shown;
    bool utf8;
};

const ShownCase kShownCases[] = {
    {"plain", "Mario Kart 64.z64", "Mario Kart 64.z64", true},
    {"utf8_kept", "Zelda \xE2\x80\x93 \xE3\x82\xBC.v64", "Zelda \xE2\x80\x93 \xE3\x82\xBC.v64", true}, // en dash, katakana
    {"four_byte_kept", "\xF0\x9F\x8E\xAE", "\xF0\x9F\x8E\xAE", true},           // U+1F3AE, a game controller
    {"escape_sequence", "a\x1B[31mb", "a\\x1B[31mb", true},                      // ESC would colour the terminal
    {"title_sequence", "\x1B]0;owned\x07", "\\x1B]0;owned\\x07", true},          // OSC ... BEL sets the title
    {"newline", "a\nb", "a\\nb", true},                                          // would split the line
    {"carriage_return", "a\rb", "a\\rb", true},                                  // would overwrite the line
    {"tab", "a\tb", "a\\tb", true},
    {"nul", std::string("a\0b", 3), "a\\x00b", true},
    {"del", "a\x7F", "a\\x7F", true},
    {"c1_csi", "a\xC2\x9B" "2J", "a\\xC2\\x9B2J", true},                        // U+009B, CSI: both bytes escaped
    {"c1_first_last", "\xC2\x80\xC2\x9F", "\\xC2\\x80\\xC2\\x9F", true},         // the ends of the C1 range
    {"after_c1", "\xC2\xA0", "\xC2\xA0", true},                                  // U+00A0 is no control
    {"two_byte_ends", "\xDF\xBF\xE0\xA0\x80", "\xDF\xBF\xE0\xA0\x80", true},            // U+07FF, U+0800
    {"last_three_byte_lead", "\xEF\xBF\xBD", "\xEF\xBF\xBD", true},                  // U+FFFD, lead EF
    {"latin1_byte", "caf\xE9", "caf\\xE9", false},                                // a Latin-1 name, not UTF-8
    {"ff", "\xFF", "\\xFF", false},
    {"stray_continuation", "\x80" "a", "\\x80a", false},
    {"cut_sequence", "\xE3\x82", "\\xE3\\x82", false},                            // two of three bytes
    {"cut_then_ascii", "\xE3\x82" "a", "\\xE3\\x82a", false},
    {"overlong_slash", "\xC0\xAF", "\\xC0\\xAF", false},                          // '/' in two bytes
    {"overlong_three", "\xE0\x80\xAF", "\\xE0\\x80\\xAF", false},
    {"surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80", false},                      // U+D800
    {"last_before_surrogates", "\xED\x9F\xBF", "\xED\x9F\xBF", true},            // U+D7FF
    {"overlong_four", "\xF0\x8F\xBF\xBF", "\\xF0\\x8F\\xBF\\xBF", false},
    {"beyond_unicode", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80", false},        // U+110000
    {"last_code_point", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF", true},           // U+10FFFF
    {"lead_f5", "\xF5\x80\x80\x80", "\\xF5\\x80\\x80\\x80", false},
    {"backslash", "a\\x1B", "a\\\\x1B", true},                                  // a real backslash cannot pass for an escape
};

class Shown : public testing::TestWithParam<ShownCase> {};

TEST_P(Shown, EscapesControlsAndBytesThatAreNotUtf8) {
    const ShownCase& c = GetParam();
    EXPECT_EQ(shownText(c.text, Backslash::Doubled), c.shown);
    // Every shown text is UTF-8 without a control character: one line, nothing for the terminal.
    EXPECT_TRUE(isUtf8(c.shown));
    for (unsigned char b : c.shown) EXPECT_TRUE(b >= 0x20 && b != 0x7F) << c.why;
    EXPECT_EQ(isUtf8(c.text), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(Texts, Shown, testing::ValuesIn(kShownCases),
                         [](const testing::TestParamInfo<ShownCase>& info) { return std::string(info.param.why); });

// Where the backslash separates folders, it stays as it is; the rest of the rule holds.
TEST(ShownText, KeptBackslashes) {
    EXPECT_EQ(shownText("C:\\roms\\a\x1B.z64", Backslash::Kept), "C:\\roms\\a\\x1B.z64");
    EXPECT_EQ(shownText("a\\b", Backslash::Doubled), "a\\\\b");
}

// The sequence lengths at each lead byte, and 0 where the bytes are cut short.
TEST(ShownText, SequenceLengths) {
    EXPECT_EQ(utf8SequenceLength("a", 0), 1u);
    EXPECT_EQ(utf8SequenceLength("\xC3\xA9", 0), 2u);
    EXPECT_EQ(utf8SequenceLength("\xC3", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xC3" "a", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xE3\x82\xBC", 0), 3u);
    EXPECT_EQ(utf8SequenceLength("\xE3\x82" "a", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("\xF0\x9F\x8E\xAE", 0), 4u);
    EXPECT_EQ(utf8SequenceLength("\xF0\x9F\x8E" "a", 0), 0u);
    EXPECT_EQ(utf8SequenceLength("x\xC3\xA9", 1), 2u);
    EXPECT_EQ(utf8SequenceLength("\xC1\xBF", 0), 0u); // C0 and C1 only ever start overlong forms
}

} // namespace
