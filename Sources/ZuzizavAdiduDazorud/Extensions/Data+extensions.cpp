#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>

#include <ZuzizavAdiduDazorud/LibraryLogger.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace ZuzizavAdiduDazorud {

namespace {

constexpr std::array<std::array<char, 3>, 256> makeByteTable() {
    std::array<std::array<char, 3>, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[i][0] = text::lowerHexDigits[i >> 4];
        table[i][1] = text::lowerHexDigits[i & 0xf];
        table[i][2] = '\0';
    }
    return table;
}
constexpr auto byteTable = makeByteTable();

void appendByte(std::string& out, std::uint8_t b) {
    out.push_back(byteTable[b][0]);
    out.push_back(byteTable[b][1]);
}

std::string macText(std::span<const std::uint8_t> bytes) {
    std::string out(bytes.size() * 3 - 1, ':');
    text::writeColonHex(out.data(), bytes);
    return out;
}

// "0x" and at least four lowercase hex digits of the offset, then a blank ("0x%04x ").
void appendOffset(std::string& out, std::size_t offset) {
    char digits[16];
    int n = 0;
    do {
        digits[n++] = text::lowerHexDigits[offset & 0xf];
        offset >>= 4;
    } while (offset);
    while (n < 4) digits[n++] = '0';
    out += "0x";
    while (n) out.push_back(digits[--n]);
    out.push_back(' ');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

ByteSlice::ByteSlice(std::vector<std::uint8_t> bytes) : ByteSlice(bytes.data(), bytes.size()) {}

ByteSlice::ByteSlice(const std::uint8_t* bytes, std::size_t count) : start_(0), end_(count) {
    if (count == 0) return;
    storage_ = detail::SharedBytes::make(count);
    std::memcpy(storage_->bytes(), bytes, count);
    base_ = storage_->bytes();
}

void ByteSlice::assign(const std::uint8_t* bytes, std::size_t count) {
    if (!storage_ || !storage_->unique() || storage_->capacity() < count) {
        if (storage_) storage_->release();
        // Room for a full-size Ethernet frame at least, so that later frames fit.
        storage_ = detail::SharedBytes::make(std::max<std::size_t>(count, 1536));
    }
    if (count != 0) std::memcpy(storage_->bytes(), bytes, count);
    base_ = storage_->bytes();
    start_ = 0;
    end_ = count;
}

std::optional<std::uint16_t> ByteSlice::readUInt16() const {
    SliceReader r(*this);
    auto v = r.u16(0);
    return r.ok() ? std::optional(v) : std::nullopt;
}

std::optional<std::uint32_t> ByteSlice::readUInt32() const {
    SliceReader r(*this);
    auto v = r.u32(0);
    return r.ok() ? std::optional(v) : std::nullopt;
}

std::optional<std::uint64_t> ByteSlice::readUInt64() const {
    SliceReader r(*this);
    auto v = r.u64(0);
    return r.ok() ? std::optional(v) : std::nullopt;
}

std::string ByteSlice::hexString() const {
    std::string out;
    out.reserve(count() * 2);
    for (std::uint8_t b : bytes()) appendByte(out, b);
    return out;
}

std::optional<std::string> ByteSlice::macAddressText() const {
    if (count() < 6) return std::nullopt;
    return macText(bytes().first(6));
}

std::optional<std::string> ByteSlice::ouiText() const {
    if (count() < 3) return std::nullopt;
    return macText(bytes().first(3));
}

std::string ByteSlice::hexdump() const {
    auto b = bytes();
    std::string out;
    // Each line: 7 offset characters, 16 bytes of 2 digits and 8 separators.
    out.reserve(b.size() / 16 * 48 + 48);
    for (std::size_t i = 0; i < b.size(); ++i) {
        std::size_t k = i % 16;
        if (i % 2 == 0) {
            if (k == 0) appendOffset(out, i);
            appendByte(out, b[i]);
        } else {
            appendByte(out, b[i]);
            out.push_back(k == 15 ? '\n' : ' ');
        }
    }
    if (b.size() % 16 != 0) out.push_back('\n');
    return out;
}

const char* byteHexText(std::uint8_t value) { return byteTable[value].data(); }

std::string wordHexText(std::uint64_t value) {
    char buffer[18];
    return std::string(buffer, text::writeWordHex(buffer, value));
}

std::string wordHexText(std::uint16_t value) { return wordHexText(static_cast<std::uint64_t>(value)); }

std::string shortestDecimal(double value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc()) return std::to_string(value);
    std::string text(buffer, end);
    if (text.find_first_of(".eEn") == std::string::npos) text += ".0";
    return text;
}

namespace {

bool isUtf8(std::span<const std::uint8_t> b) {
    std::size_t i = 0;
    while (i < b.size()) {
        const std::uint8_t c = b[i];
        std::size_t extra;
        std::uint32_t minimum;
        std::uint32_t point;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xe0) == 0xc0) {
            extra = 1, minimum = 0x80, point = c & 0x1f;
        } else if ((c & 0xf0) == 0xe0) {
            extra = 2, minimum = 0x800, point = c & 0x0f;
        } else if ((c & 0xf8) == 0xf0) {
            extra = 3, minimum = 0x10000, point = c & 0x07;
        } else {
            return false;
        }
        if (b.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((b[i + k] & 0xc0) != 0x80) return false;
            point = (point << 6) | (b[i + k] & 0x3f);
        }
        if (point < minimum || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff)) return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace

bool assignUtf8Text(std::string& text, const ByteSlice& slice) {
    const auto b = slice.bytes();
    if (!isUtf8(b)) return false;
    text.assign(reinterpret_cast<const char*>(b.data()), b.size());
    return true;
}

std::optional<std::string> utf8Text(const ByteSlice& slice) {
    std::string text;
    if (!assignUtf8Text(text, slice)) return std::nullopt;
    return text;
}

std::u32string codePoints(std::string_view utf8) {
    std::u32string points;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<std::uint8_t>(utf8[i]);
        const std::size_t extra = c < 0x80 ? 0 : (c & 0xe0) == 0xc0 ? 1 : (c & 0xf0) == 0xe0 ? 2 : 3;
        std::uint32_t point = extra == 0 ? c : extra == 1 ? c & 0x1f : extra == 2 ? c & 0x0f : c & 0x07;
        for (std::size_t k = 1; k <= extra && i + k < utf8.size(); ++k) {
            point = (point << 6) | (static_cast<std::uint8_t>(utf8[i + k]) & 0x3f);
        }
        points.push_back(point);
        i += extra + 1;
    }
    return points;
}

std::string escapedASCII(std::string_view utf8) {
    std::string out;
    for (char32_t point : codePoints(utf8)) {
        switch (point) {
            case U'\\': out += "\\\\"; break;
            case U'"': out += "\\\""; break;
            case U'\'': out += "\\'"; break;
            case U'\0': out += "\\0"; break;
            case U'\t': out += "\\t"; break;
            case U'\n': out += "\\n"; break;
            case U'\r': out += "\\r"; break;
            default:
                if (point >= 0x20 && point <= 0x7e) {
                    out.push_back(static_cast<char>(point));
                } else {
                    char buffer[16];
                    std::snprintf(buffer, sizeof buffer, "\\u{%x}", static_cast<unsigned>(point));
                    out += buffer;
                }
        }
    }
    return out;
}

namespace {

// Length of the UTF-8 sequence at `text[i]` and its code point; 0 when it is not a valid sequence.
std::size_t utf8Sequence(std::string_view text, std::size_t i, char32_t& point) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    if (lead < 0x80) {
        point = lead;
        return 1;
    } else if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, point = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, point = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, point = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) return 0;
        point = (point << 6) | (byte(i + k) & 0x3f);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < smallest[length] || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff)) return 0;
    return length;
}

bool isHidden(char32_t point) {
    return point < 0x20 || (point >= 0x7f && point <= 0x9f) || point == 0x200e || point == 0x200f ||
           (point >= 0x2028 && point <= 0x202e) || (point >= 0x2066 && point <= 0x2069) || point == 0xfeff;
}

}  // namespace

bool needsEscaping(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c < 0x7f) {
            ++i;
            continue;
        }
        char32_t point = 0;
        const std::size_t length = utf8Sequence(utf8, i, point);
        if (length == 0 || isHidden(point)) return true;
        i += length;
    }
    return false;
}

std::string escapedText(std::string_view utf8) {
    if (!needsEscaping(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size() + 16);
    char buffer[16];
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t point = 0;
        const std::size_t length = utf8Sequence(utf8, i, point);
        if (length == 0) {
            std::snprintf(buffer, sizeof buffer, "\\x{%x}", static_cast<unsigned char>(utf8[i]));
            out += buffer;
            ++i;
            continue;
        }
        if (!isHidden(point)) {
            out.append(utf8, i, length);
        } else {
            switch (point) {
                case U'\0': out += "\\0"; break;
                case U'\t': out += "\\t"; break;
                case U'\n': out += "\\n"; break;
                case U'\r': out += "\\r"; break;
                default:
                    std::snprintf(buffer, sizeof buffer, "\\u{%x}", static_cast<unsigned>(point));
                    out += buffer;
            }
        }
        i += length;
    }
    return out;
}

std::string formatNumber(const char* format, unsigned long long value) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, format, value);
    if (n < 0) return {};
    return std::string(buffer, std::min(static_cast<std::size_t>(n), sizeof buffer - 1));
}

std::optional<ByteSlice> makeData(std::string_view packetStream) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(packetStream.size() / 2 + 1);
    int high = 0;
    for (std::size_t i = 0; i < packetStream.size(); ++i) {
        int digit = hexValue(packetStream[i]);
        if (digit < 0) {
            logError([&] {
                return "makeData: invalid char " + std::string(1, packetStream[i]) + " at position " +
                       std::to_string(i);
            });
            return std::nullopt;
        }
        if (i % 2 == 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
        }
    }
    return ByteSlice(std::move(bytes));
}

}  // namespace ZuzizavAdiduDazorud
