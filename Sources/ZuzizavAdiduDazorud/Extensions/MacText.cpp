#include "MacText.h"

#include "TextAppend.h"

#include <algorithm>

namespace ZuzizavAdiduDazorud {

MacText MacText::fromBytes(std::span<const std::uint8_t> bytes) {
    MacText mac;
    if (bytes.size() < 6) return mac;
    text::writeColonHex(mac.chars_.data(), bytes.first(6));
    mac.size_ = capacity;
    return mac;
}

void MacText::assign(std::string_view text) {
    size_ = static_cast<std::uint8_t>(std::min(text.size(), capacity));
    std::copy_n(text.data(), size_, chars_.begin());
}

}  // namespace ZuzizavAdiduDazorud
