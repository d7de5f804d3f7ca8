#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
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
inline char* writeDecimal(char* p, std::uint64_t value) { return std::to_chars(p, p + 20, value).ptr; }

// "0x" and at least four lowercase hex digits.
inline char* writeWordHex(char* p, std::uint64_t value) {
    int digits = 1;
    for (std::uint64_t rest = value >> 4; rest != 0; rest >>= 4) ++digits;
    if (digits < 4) digits = 4;
    *p++ = '0';
    *p++ = 'x';
    for (int i = digits - 1; i >= 0; --i) p[i] = lowerHexDigits[(value >> (4 * (digits - 1 - i))) & 0xf];
    return p + digits;
}

// Bytes as lowercase hex pairs joined by colons (aa:bb:cc).
inline char* writeColonHex(char* p, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) *p++ = ':';
        *p++ = lowerHexDigits[bytes[i] >> 4];
        *p++ = lowerHexDigits[bytes[i] & 0xf];
    }
    return p;
}

// Dotted decimal of four bytes.
inline char* writeDottedQuad(char* p, const std::uint8_t* bytes) {
    for (std::size_t i = 0; i < 4; ++i) {
        if (i) *p++ = '.';
        const unsigned value = bytes[i];
        if (value >= 100) *p++ = static_cast<char>('0' + value / 100);
        if (value >= 10) *p++ = static_cast<char>('0' + value / 10 % 10);
        *p++ = static_cast<char>('0' + value % 10);
    }
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
        std::memcpy(buffer_ + used_, text.data(), text.size());
        used_ += text.size();
        return *this;
    }
    LineWriter& operator<<(char c) {
        if (used_ == capacity) flush();
        buffer_[used_++] = c;
        return *this;
    }
    // Numbers go through decimal() or wordHex(), never through the character overload.
    template <typename T>
        requires(std::is_integral_v<T> && !std::is_same_v<T, char>)
    LineWriter& operator<<(T) = delete;
    LineWriter& decimal(std::uint64_t value) {
        finish(writeDecimal(room(20), value));
        return *this;
    }
    LineWriter& wordHex(std::uint64_t value) {
        finish(writeWordHex(room(18), value));
        return *this;
    }
    LineWriter& dottedQuad(const std::uint8_t* bytes) {
        finish(writeDottedQuad(room(15), bytes));
        return *this;
    }

    void flush() {
        out_.append(buffer_, used_);
        used_ = 0;
    }

private:
    static constexpr std::size_t capacity = 256;

    char* room(std::size_t count) {
        if (count > capacity - used_) flush();
        return buffer_ + used_;
    }
    void finish(char* end) { used_ = static_cast<std::size_t>(end - buffer_); }
    LineWriter& putLong(std::string_view text) {
        flush();
        out_.append(text);
        return *this;
    }

    std::string& out_;
    char buffer_[capacity];
    std::size_t used_ = 0;
};

// Has the record write its one-line text where it can, else writes record.description().
template <typename Record>
void writeDescriptionOf(LineWriter& out, const Record& record) {
    if constexpr (requires { record.appendDescription(out); }) {
        record.appendDescription(out);
    } else {
        out << record.description();
    }
}

}  // namespace ZuzizavAdiduDazorud::text
