#include "MacText.h"

#include "TextAppend.h"

#include <algorithm>
#include <cstring>

namespace ZuzizavAdiduDazorud {

MacText MacText::fromBytes(std::span<const std::uint8_t> bytes) {
    MacText mac;
    mac.assignBytes(bytes);
    return mac;
}

void MacText::assignBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 6) {
        size_ = 0;
        return;
    }
    // Two hex digits per byte from a table, written as one 16-bit move; colons in between.
    static constexpr auto pairs = [] {
        std::array<std::array<char, 2>, 256> table{};
        for (std::size_t i = 0; i < 256; ++i) table[i] = {text::lowerHexDigits[i >> 4], text::lowerHexDigits[i & 0xf]};
        return table;
    }();
    std::uint8_t raw[6];
    std::memcpy(raw, bytes.data(), 6);
    char* p = chars_.data();
    for (std::size_t i = 0; i < 6; ++i) {
        std::memcpy(p + 3 * i, pairs[raw[i]].data(), 2);
        if (i < 5) p[3 * i + 2] = ':';
    }
    size_ = capacity;
}

void MacText::assign(std::string_view text) {
    size_ = static_cast<std::uint8_t>(std::min(text.size(), capacity));
    std::copy_n(text.data(), size_, chars_.begin());
}

}  // namespace ZuzizavAdiduDazorud
