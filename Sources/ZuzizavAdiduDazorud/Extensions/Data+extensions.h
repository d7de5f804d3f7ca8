#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ZuzizavAdiduDazorud {

// Exactly two lowercase hex digits.
const char* byteHexText(std::uint8_t value);
// "0x" and at least four lowercase hex digits.
std::string wordHexText(std::uint64_t value);
std::string wordHexText(std::uint16_t value);
// The shortest decimal text that reads back as the same number, with ".0" for whole numbers.
std::string shortestDecimal(double value);

// The bytes as text when they are valid UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
std::optional<std::string> utf8Text(const ByteSlice& bytes);
// Sets `text` to utf8Text(bytes) in the room it has; false, and `text` unchanged, when they are not UTF-8.
bool assignUtf8Text(std::string& text, const ByteSlice& bytes);
// Unicode code points of valid UTF-8 text.
std::u32string codePoints(std::string_view utf8);
// Printable ASCII as it is, with backslash, double quote and apostrophe escaped; NUL, tab, line feed and
// carriage return as \0 \t \n \r; any other code point as \u{hex}.
std::string escapedASCII(std::string_view utf8);

// Text from the wire made safe to print: control characters (C0, DEL, C1) and the invisible format
// characters that reorder or hide text (bidirectional controls, line and paragraph separators, byte
// order mark) in the escaped form of escapedASCII (\t, \n, \r, \0, \u{1b}); bytes that are not UTF-8
// as \x{hex}. Everything else, printable non-ASCII included, stays as it is.
std::string escapedText(std::string_view utf8);
// Whether escapedText would change the text.
bool needsEscaping(std::string_view utf8);
// escapedText written to `out`.
inline void appendEscapedText(text::LineWriter& out, std::string_view utf8) {
    if (needsEscaping(utf8)) {
        out << escapedText(utf8);
    } else {
        out << utf8;
    }
}

// One unsigned number in a printf format that takes an unsigned long long ("%llx", "0x%2llx", ...).
std::string formatNumber(const char* format, unsigned long long value);

// Bytes from a text of hex digits; none (and an error line) on the first other character.
// An odd trailing digit is dropped.
std::optional<ByteSlice> makeData(std::string_view packetStream);

}  // namespace ZuzizavAdiduDazorud
