// Text that may hold any bytes (file names, names read from files) made safe to print: every
// control character and every byte that is not UTF-8 written as an escape, so that a name
// is one line, sends nothing to the terminal as a command, and can be told back byte for byte.
#pragma once

#include <cstddef>
#include <string>

// Appends byte b as an escape: "\t", "\n", "\r", or "\xNN" with two upper-case hex digits.
void appendByteEscape(std::string& text, unsigned char b);

// Appends one ASCII byte as it is shown: a printable character as it is, a backslash doubled,
// any other byte (a control character, a byte above 0x7E) as an escape.
void appendShownAscii(std::string& text, unsigned char b);

// The length of the UTF-8 sequence that starts text at index i (1 to 4), or 0 when the bytes
// there are not one: a stray continuation byte, a cut sequence, an overlong form, a surrogate
// or a code point beyond U+10FFFF.
std::size_t utf8SequenceLength(const std::string& text, std::size_t i);

// Whether the whole of text is UTF-8.
bool isUtf8(const std::string& text);

// Whether a backslash in shown text is doubled. On Windows the backslash separates the
// folders of a path and no file name holds a control character, so it is shown as it is.
enum class Backslash { Doubled, Kept };

// The platform's choice for file names and messages that hold them.
#ifdef _WIN32
constexpr Backslash kPathBackslash = Backslash::Kept;
#else
constexpr Backslash kPathBackslash = Backslash::Doubled;
#endif

// text as it is printed: UTF-8 characters as they are, except the control characters (C0,
// DEL and the C1 range U+0080 to U+009F, whose two bytes are both escaped); every byte that
// is not part of a UTF-8 character as "\xNN"; a backslash as backslash says.
std::string shownText(const std::string& text, Backslash backslash = kPathBackslash);
