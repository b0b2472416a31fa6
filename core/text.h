// Small text helpers every part shares: hexadecimal numbers and ASCII letter case. (How any
// bytes are shown safely is core/shown_text.h.)
#pragma once

#include <cstdint>
#include <string>

// A 32-bit value as eight upper-case hexadecimal digits: "0000ABCD".
std::string hex32(std::uint32_t value);

// The value of one hexadecimal digit in either letter case, or -1 for any other character.
int hexDigitValue(char c);

// text with its ASCII letters in lower case; every other byte (UTF-8 too) as it is.
std::string lowerAscii(std::string text);
