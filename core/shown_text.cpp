#include "core/shown_text.h"

#include <cstdio>

namespace {

// Whether b is a UTF-8 continuation byte (10xxxxxx).
bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// The byte of text at index i, as unsigned.
unsigned char byteAt(const std::string& text, std::size_t i) {
    return static_cast<unsigned char>(text[i]);
}

// Whether the two bytes at i are a C1 control character, U+0080 to U+009F (C2 80 to C2 9F).
bool isC1Control(const std::string& text, std::size_t i) {
    return byteAt(text, i) == 0xC2 && byteAt(text, i + 1) < 0xA0;
}

} // namespace

void appendByteEscape(std::string& text, unsigned char b) {
    switch (b) {
    case '\t': text += "\\t"; return;
    case '\n': text += "\\n"; return;
    case '\r': text += "\\r"; return;
    default: break;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
    text += escaped;
}

void appendShownAscii(std::string& text, unsigned char b) {
    if (b == '\\')
        text += "\\\\";
    else if (b >= 0x20 && b < 0x7F)
        text += static_cast<char>(b);
    else
        appendByteEscape(text, b);
}

// The second byte's range narrows for the lead bytes whose shortest forms would be overlong
// (E0, F0), surrogates (ED) or past U+10FFFF (F4).
std::size_t utf8SequenceLength(const std::string& text, std::size_t i) {
    const unsigned char lead = byteAt(text, i);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    else return 0;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (text.size() - i < length) return 0;
    const unsigned char second = byteAt(text, i + 1);
    if (second < low || second > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (!isContinuation(byteAt(text, i + k))) return 0;
    return length;
}

bool isUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string shownText(const std::string& text, Backslash backslash) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length > 1 && !isC1Control(text, i)) {
            shown.append(text, i, length);
            i += length;
        } else if (text[i] == '\\' && backslash == Backslash::Kept) {
            shown += '\\';
            ++i;
        } else {
            // An ASCII byte, a byte that is not UTF-8, or both bytes of a C1 control.
            const std::size_t bytes = length == 0 ? 1 : length;
            for (std::size_t k = 0; k < bytes; ++k) appendShownAscii(shown, byteAt(text, i + k));
            i += bytes;
        }
    }
    return shown;
}
