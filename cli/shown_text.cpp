#include "cli/shown_text.h"

#include "core/text.h"

namespace {

// The byte of text at index i, as unsigned.
unsigned char byteAt(const std::string& text, std::size_t i) {
    return static_cast<unsigned char>(text[i]);
}

// Whether the two bytes at i are a C1 control character, U+0080 to U+009F (C2 80 to C2 9F).
bool isC1Control(const std::string& text, std::size_t i) {
    return byteAt(text, i) == 0xC2 && byteAt(text, i + 1) < 0xA0;
}

} // namespace

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
            for (std::size_t k = 0; k < bytes; ++k) appendEscapedAscii(shown, byteAt(text, i + k));
            i += bytes;
        }
    }
    return shown;
}
