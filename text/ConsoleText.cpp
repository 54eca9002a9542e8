#include "text/ConsoleText.h"

#include <cstdio>

namespace {

// Well-formed multi-byte UTF-8 by its lead byte: the sequence's length and
// the range of its second byte (which rules out overlong forms, surrogates
// and code points past U+10FFFF). Lead byte C2 leaves out 80..9F, the C1
// controls, which some terminals obey like ESC [.
struct Utf8Lead {
    unsigned char first, last;
    std::size_t length;
    unsigned char secondLow, secondHigh;
};

const Utf8Lead leads[] = {
    {0xC2, 0xC2, 2, 0xA0, 0xBF}, {0xC3, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF},
    {0xE1, 0xEC, 3, 0x80, 0xBF}, {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF},
    {0xF0, 0xF0, 4, 0x90, 0xBF}, {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

// Well-formed, yet escaped: the line and paragraph separators start a line
// of their own, and the bidirectional controls (Unicode's Bidi_Control: the
// Arabic letter mark, the left-to-right and right-to-left marks, the
// embeddings, overrides and isolates) reorder the text around them, so that
// a terminal shows other text than was sent.
const struct {
    char32_t first, last;
} escapedCodePoints[] = {{0x061C, 0x061C}, {0x200E, 0x200F}, {0x2028, 0x202E}, {0x2066, 0x2069}};

bool InRange(unsigned char byte, unsigned char low, unsigned char high) { return byte >= low && byte <= high; }

unsigned char ByteAt(const std::string& text, std::size_t at) { return static_cast<unsigned char>(text[at]); }

// The code point of the well-formed sequence of `length` bytes at `at`: the
// lead byte keeps 7 - length bits, each further byte 6.
char32_t CodePoint(const std::string& text, std::size_t at, std::size_t length) {
    char32_t point = ByteAt(text, at) & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) point = point << 6 | (ByteAt(text, at + k) & 0x3Fu);
    return point;
}

bool EscapedCodePoint(const std::string& text, std::size_t at, std::size_t length) {
    char32_t point = CodePoint(text, at, length);
    for (const auto& range : escapedCodePoints)
        if (point >= range.first && point <= range.last) return true;
    return false;
}

// How many bytes at `at` may go to the terminal as they are; 0 when the byte
// there must be escaped.
std::size_t PrintableLength(const std::string& text, std::size_t at) {
    unsigned char lead = ByteAt(text, at);
    if (lead < 0x80) return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    for (const Utf8Lead& form : leads) {
        if (!InRange(lead, form.first, form.last)) continue;
        if (at + form.length > text.size() || !InRange(ByteAt(text, at + 1), form.secondLow, form.secondHigh)) return 0;
        for (std::size_t k = 2; k < form.length; ++k)
            if (!InRange(ByteAt(text, at + k), 0x80, 0xBF)) return 0;
        return EscapedCodePoint(text, at, form.length) ? 0 : form.length;
    }
    return 0;
}

}  // namespace

std::string ConsoleText(const std::string& text) {
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = PrintableLength(text, at);
        if (length > 0) {
            safe.append(text, at, length);
            at += length;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", ByteAt(text, at));
        safe += escaped;
        ++at;
    }
    return safe;
}
