#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Appending formatters for the per-frame texts: no temporaries, no printf.
namespace ZuzizavAdiduDazorud::text {

inline constexpr char lowerHexDigits[] = "0123456789abcdef";

// Decimal, as std::to_string writes it.
inline void appendDecimal(std::string& out, std::uint64_t value) {
    char buffer[20];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

inline void appendDecimal(std::string& out, std::int64_t value) {
    char buffer[20];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// "0x" and at least four lowercase hex digits.
inline void appendWordHex(std::string& out, std::uint64_t value) {
    char buffer[18];
    char* end = buffer + sizeof buffer;
    char* p = end;
    int digits = 0;
    do {
        *--p = lowerHexDigits[value & 0xf];
        value >>= 4;
        ++digits;
    } while (value != 0);
    while (digits++ < 4) *--p = '0';
    *--p = 'x';
    *--p = '0';
    out.append(p, end);
}

// Bytes as lowercase hex pairs joined by colons (aa:bb:cc).
inline void appendColonHex(std::string& out, std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    char buffer[3 * 16];
    std::size_t n = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (n + 3 > sizeof buffer) {
            out.append(buffer, n);
            n = 0;
        }
        if (i) buffer[n++] = ':';
        buffer[n++] = lowerHexDigits[bytes[i] >> 4];
        buffer[n++] = lowerHexDigits[bytes[i] & 0xf];
    }
    out.append(buffer, n);
}

// Dotted decimal.
inline void appendDottedQuad(std::string& out, const std::uint8_t* bytes) {
    char buffer[16];
    char* p = buffer;
    for (std::size_t i = 0; i < 4; ++i) {
        if (i) *p++ = '.';
        const unsigned value = bytes[i];
        if (value >= 100) *p++ = static_cast<char>('0' + value / 100);
        if (value >= 10) *p++ = static_cast<char>('0' + value / 10 % 10);
        *p++ = static_cast<char>('0' + value % 10);
    }
    out.append(buffer, p);
}

// Calls record.appendDescription(out) where the record has one, else appends record.description().
template <typename Record>
void appendDescriptionOf(std::string& out, const Record& record) {
    if constexpr (requires { record.appendDescription(out); }) {
        record.appendDescription(out);
    } else {
        out += record.description();
    }
}

}  // namespace ZuzizavAdiduDazorud::text
