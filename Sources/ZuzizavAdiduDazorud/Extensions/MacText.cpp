#include <ZuzizavAdiduDazorud/Extensions/MacText.h>

#include <algorithm>

namespace ZuzizavAdiduDazorud {

MacText MacText::fromBytes(std::span<const std::uint8_t> bytes) {
    MacText mac;
    mac.assignBytes(bytes);
    return mac;
}

void MacText::assign(std::string_view text) {
    size_ = static_cast<std::uint8_t>(std::min(text.size(), capacity));
    std::copy_n(text.data(), size_, chars_.begin());
}

}  // namespace ZuzizavAdiduDazorud
