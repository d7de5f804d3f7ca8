#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <concepts>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

// Formatters for the per-frame texts: no temporaries, no printf.
namespace ZuzizavAdiduDazorud::text {

inline constexpr char lowerHexDigits[] = "0123456789abcdef";

// Writers into a caller's buffer, returning the end of what they wrote. Callers size the buffer:
// 20 characters for a decimal, 18 for a word in hex, 15 for a dotted quad, 3 per byte in colon hex.

// "0x" and at least four lowercase hex digits.
inline char* writeWordHex(char* p, std::uint64_t value) {
    if (value <= 0xffff) {  // ethertypes and other 16-bit fields: exactly four digits
        p[0] = '0';
        p[1] = 'x';
        p[2] = lowerHexDigits[value >> 12];
        p[3] = lowerHexDigits[(value >> 8) & 0xf];
        p[4] = lowerHexDigits[(value >> 4) & 0xf];
        p[5] = lowerHexDigits[value & 0xf];
        return p + 6;
    }
    int digits = 1;
    for (std::uint64_t rest = value >> 4; rest != 0; rest >>= 4) ++digits;
    if (digits < 4) digits = 4;
    *p++ = '0';
    *p++ = 'x';
    for (int i = digits - 1; i >= 0; --i) p[i] = lowerHexDigits[(value >> (4 * (digits - 1 - i))) & 0xf];
    return p + digits;
}

// Lowercase hex digits, as few as the value needs (printf's "%llx").
inline char* writeHex(char* p, std::uint64_t value) {
    int digits = 1;
    for (std::uint64_t rest = value >> 4; rest != 0; rest >>= 4) ++digits;
    for (int i = digits - 1; i >= 0; --i) p[digits - 1 - i] = lowerHexDigits[(value >> (4 * i)) & 0xf];
    return p + digits;
}

// Each byte's two lowercase hex digits and a colon, and a spare byte for 4-byte moves.
inline constexpr auto hexColonPairs = [] {
    std::array<std::array<char, 4>, 256> table{};
    for (std::size_t i = 0; i < 256; ++i) table[i] = {lowerHexDigits[i >> 4], lowerHexDigits[i & 0xf], ':', ':'};
    return table;
}();

// Bytes as lowercase hex pairs joined by colons (aa:bb:cc): each but the last as one 4-byte move (its
// fourth character is overwritten by the next), the last as a 2-byte move. Writes nothing past the text.
inline char* writeColonHex(char* p, std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return p;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i, p += 3) std::memcpy(p, hexColonPairs[bytes[i]].data(), 4);
    std::memcpy(p, hexColonPairs[bytes.back()].data(), 2);
    return p + 2;
}

// The text, copied in overlapping fixed-size moves: a length known only at run time would otherwise
// become a string instruction with a long start-up.
inline char* writeText(char* p, std::string_view text) {
    const char* from = text.data();
    const std::size_t count = text.size();
    if (count >= 16) {
        for (std::size_t i = 0; i + 16 < count; i += 16) std::memcpy(p + i, from + i, 16);
        std::memcpy(p + count - 16, from + count - 16, 16);
    } else if (count >= 8) {
        std::memcpy(p, from, 8);
        std::memcpy(p + count - 8, from + count - 8, 8);
    } else if (count >= 4) {
        std::memcpy(p, from, 4);
        std::memcpy(p + count - 4, from + count - 4, 4);
    } else {
        for (std::size_t i = 0; i < count; ++i) p[i] = from[i];
    }
    return p + count;
}

// Each byte value's decimal digits (up to three) and, last, how many there are.
inline constexpr auto byteDecimals = [] {
    struct Digits {
        char text[3];
        std::uint8_t count;
    };
    std::array<Digits, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        auto& d = table[i];
        if (i >= 100) d.text[d.count++] = static_cast<char>('0' + i / 100);
        if (i >= 10) d.text[d.count++] = static_cast<char>('0' + i / 10 % 10);
        d.text[d.count++] = static_cast<char>('0' + i % 10);
    }
    return table;
}();

inline constexpr char digitPairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
    "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";

// Decimal, as std::to_string writes it; numbers below 10^8 (ports, lengths, protocol numbers, frame
// numbers) take a short path.
inline char* writeDecimal(char* p, std::uint64_t value) {
    if (value >= 10000 && value < 100000000) {
        p = writeDecimal(p, value / 10000);
        const std::uint64_t low = value % 10000;
        std::memcpy(p, digitPairs + 2 * (low / 100), 2);
        std::memcpy(p + 2, digitPairs + 2 * (low % 100), 2);
        return p + 4;
    }
    if (value < 100) {
        if (value < 10) {
            *p = static_cast<char>('0' + value);
            return p + 1;
        }
        std::memcpy(p, digitPairs + 2 * value, 2);
        return p + 2;
    }
    if (value < 10000) {
        const std::uint64_t high = value / 100;
        const std::uint64_t low = value % 100;
        if (high < 10) {
            *p = static_cast<char>('0' + high);
            std::memcpy(p + 1, digitPairs + 2 * low, 2);
            return p + 3;
        }
        std::memcpy(p, digitPairs + 2 * high, 2);
        std::memcpy(p + 2, digitPairs + 2 * low, 2);
        return p + 4;
    }
    return std::to_chars(p, p + 20, value).ptr;
}

// Dotted decimal of four bytes. Each group is copied three characters wide and then cut to its
// length, so this may scribble up to two characters past the end it returns, within the 15.
inline char* writeDottedQuad(char* p, const std::uint8_t* bytes) {
    for (std::size_t i = 0; i < 4; ++i) {
        if (i) *p++ = '.';
        const auto& digits = byteDecimals[bytes[i]];
        std::memcpy(p, digits.text, 3);
        p += digits.count;
    }
    return p;
}

// An IPv6 address as inet_ntop writes it: lowercase hex groups without leading zeros, the first
// longest run of two or more zero groups as "::", and the last four bytes in dotted decimal for
// IPv4-compatible (::a.b.c.d) and IPv4-mapped (::ffff:a.b.c.d) addresses. At most 45 characters.
inline char* writeIPv6(char* p, const std::uint8_t* bytes) {
    unsigned words[8];
    for (int i = 0; i < 8; ++i) words[i] = (unsigned{bytes[2 * i]} << 8) | bytes[2 * i + 1];
    int bestBase = -1, bestLength = 0, base = -1, length = 0;
    for (int i = 0; i <= 8; ++i) {
        if (i < 8 && words[i] == 0) {
            if (base == -1) base = i, length = 0;
            ++length;
        } else if (base != -1) {
            if (bestBase == -1 || length > bestLength) bestBase = base, bestLength = length;
            base = -1;
        }
    }
    if (bestLength < 2) bestBase = -1;
    for (int i = 0; i < 8; ++i) {
        if (bestBase != -1 && i >= bestBase && i < bestBase + bestLength) {
            if (i == bestBase) *p++ = ':';
            continue;
        }
        if (i != 0) *p++ = ':';
        if (i == 6 && bestBase == 0 && (bestLength == 6 || (bestLength == 5 && words[5] == 0xffff))) {
            return writeDottedQuad(p, bytes + 12);
        }
        int shift = 12;
        while (shift > 0 && (words[i] >> shift) == 0) shift -= 4;
        for (; shift >= 0; shift -= 4) *p++ = lowerHexDigits[(words[i] >> shift) & 0xf];
    }
    if (bestBase != -1 && bestBase + bestLength == 8) *p++ = ':';
    return p;
}

// Builds text in a stack buffer and hands it to a string in large pieces; flushes when destroyed.
class LineWriter {
public:
    explicit LineWriter(std::string& out) : out_(out) {}
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;
    ~LineWriter() { flush(); }

    LineWriter& operator<<(std::string_view text) {
        if (text.size() > capacity - used_) return putLong(text);
        used_ = static_cast<std::size_t>(writeText(buffer_ + used_, text) - buffer_);
        return *this;
    }
    LineWriter& operator<<(char c) {
        if (used_ == capacity) flush();
        buffer_[used_++] = c;
        return *this;
    }
    // Numbers go through decimal() or the write functions, never through the character overload.
    template <typename T>
        requires(std::is_integral_v<T> && !std::is_same_v<T, char>)
    LineWriter& operator<<(T) = delete;
    template <std::integral T>
    LineWriter& decimal(T value) {
        char* p = reserve(21);
        if constexpr (std::is_signed_v<T>) {
            if (value < 0) {
                *p++ = '-';
                commit(writeDecimal(p, 0 - static_cast<std::uint64_t>(value)));
                return *this;
            }
        }
        commit(writeDecimal(p, static_cast<std::uint64_t>(value)));
        return *this;
    }
    // As printf's "%llx".
    LineWriter& hex(std::uint64_t value) {
        commit(writeHex(reserve(16), value));
        return *this;
    }
    LineWriter& boolean(bool value) { return *this << (value ? std::string_view("true") : std::string_view("false")); }
    // Anything that writes its own text: addresses, message kinds, records.
    template <typename T>
        requires requires(const T& value, LineWriter& out) { value.appendDescription(out); }
    LineWriter& operator<<(const T& value) {
        value.appendDescription(*this);
        return *this;
    }

    static constexpr std::size_t capacity = 256;

    // Room for `count` (at most capacity) characters, to fill through a local pointer with the write
    // functions above and hand back with commit(): the writer's own state is then not reloaded after
    // every character stored.
    char* reserve(std::size_t count) {
        if (count > capacity - used_) flush();
        return buffer_ + used_;
    }
    void commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_); }

    [[gnu::noinline]] void flush() {
        out_.append(buffer_, used_);
        used_ = 0;
    }

private:
    [[gnu::noinline]] LineWriter& putLong(std::string_view text) {
        flush();
        out_.append(text);
        return *this;
    }

    std::string& out_;
    char buffer_[capacity];
    std::size_t used_ = 0;
};

// A record's one-line text as a string, written through its appendDescription. The writer is
// flushed before the string is returned.
template <typename Record>
std::string describe(const Record& record) {
    std::string out;
    {
        LineWriter writer(out);
        record.appendDescription(writer);
    }
    return out;
}

// A record's verbose text as a string, written through its appendVerboseDescription.
template <typename Record>
std::string describeVerbosely(const Record& record) {
    std::string out;
    {
        LineWriter writer(out);
        record.appendVerboseDescription(writer);
    }
    return out;
}

}  // namespace ZuzizavAdiduDazorud::text
