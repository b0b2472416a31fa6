// Small text helpers every part shares: hexadecimal numbers, ASCII letter case, UTF-8, and
// the escape that writes any byte so that it can be told back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A 32-bit value as eight upper-case hexadecimal digits: "0000ABCD".
std::string hex32(std::uint32_t value);

// text with its ASCII letters in lower case; every other byte (UTF-8 too) as it is.
std::string lowerAscii(std::string text);

// The length of the UTF-8 sequence that starts text at index i (1 to 4), or 0 when the bytes
// there are not one: a stray continuation byte, a cut sequence, an overlong form, a surrogate
// or a code point beyond U+10FFFF.
std::size_t utf8SequenceLength(const std::string& text, std::size_t i);

// Whether the whole of text is UTF-8.
bool isUtf8(const std::string& text);

// Appends byte b as an escape: "\t", "\n", "\r", or "\xNN" with two upper-case hex digits.
void appendByteEscape(std::string& text, unsigned char b);

// Appends one byte so that it can be told back: a printable ASCII character as it is, a
// backslash doubled, any other byte (a control character, a byte above 0x7E) as an escape.
void appendEscapedAscii(std::string& text, unsigned char b);
