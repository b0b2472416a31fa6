#include "core/text.h"

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

} // namespace

std::string hex32(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

// Only A to Z change: the C library's tolower would follow the locale.
std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
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

void appendEscapedAscii(std::string& text, unsigned char b) {
    if (b == '\\')
        text += "\\\\";
    else if (b >= 0x20 && b < 0x7F)
        text += static_cast<char>(b);
    else
        appendByteEscape(text, b);
}
