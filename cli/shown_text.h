// How dornavel-cli prints text that may hold any bytes (file names, names read from files):
// every control character and every byte that is not UTF-8 written as an escape, so that a
// name is one line, sends nothing to the terminal as a command, and can be told back byte
// for byte.
#pragma once

#include <string>

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
