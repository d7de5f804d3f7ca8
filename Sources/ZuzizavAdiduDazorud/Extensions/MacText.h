#pragma once

#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace ZuzizavAdiduDazorud {

// A MAC address as text ("aa:bb:cc:dd:ee:ff"), or another short text such as "unknown", held inline:
// building one never allocates. An address keeps its six bytes and is written out as text when first
// asked for: most frames are never printed. Compares and prints as its text.
class MacText {
public:
    static constexpr std::size_t capacity = 17;

    MacText() = default;
    // Texts longer than 17 characters are cut to 17.
    explicit MacText(std::string_view text) { assign(text); }
    // The first six bytes; an empty text with fewer.
    static MacText fromBytes(std::span<const std::uint8_t> bytes);
    // Becomes fromBytes(bytes), written in place. Inline: a frame builds two for every frame.
    void assignBytes(std::span<const std::uint8_t> bytes) {
        if (bytes.size() < 6) {
            size_ = 0;
            return;
        }
        assignAddress(bytes.data());
    }
    // The six bytes at `address`, as assignBytes.
    void assignAddress(const std::uint8_t* address) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"  // g++ 12 sees an empty slice's null bytes on a path not taken
#pragma GCC diagnostic ignored "-Wstringop-overread"
        std::memcpy(chars_.data(), address, 6);
#pragma GCC diagnostic pop
        size_ = unwritten;
    }

    std::string_view view() const {
        if (size_ == unwritten) write();
        return {chars_.data(), size_};
    }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(view()); }
    const char* data() const { return view().data(); }
    std::size_t size() const { return view().size(); }
    bool empty() const { return size_ == 0; }

    friend bool operator==(const MacText& lhs, const MacText& rhs) { return lhs.view() == rhs.view(); }
    friend bool operator==(const MacText& lhs, std::string_view rhs) { return lhs.view() == rhs; }
    friend std::ostream& operator<<(std::ostream& out, const MacText& mac) { return out << mac.view(); }

private:
    void assign(std::string_view text);
    // The six bytes at the front become their text.
    void write() const {
        std::array<std::uint8_t, 6> bytes;
        std::memcpy(bytes.data(), chars_.data(), 6);
        text::writeColonHex(chars_.data(), bytes);
        size_ = capacity;
    }
    static constexpr std::uint8_t unwritten = 0xff;  // size_ of six bytes not yet written out

    mutable std::array<char, capacity> chars_{};
    mutable std::uint8_t size_ = 0;
};

}  // namespace ZuzizavAdiduDazorud
