#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>

#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <arpa/inet.h>

#include <cstring>

namespace ZuzizavAdiduDazorud {

namespace {

template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> exactBytes(const ByteSlice& bytes) {
    if (bytes.count() != N) return std::nullopt;
    std::array<std::uint8_t, N> out{};
    auto b = bytes.bytes();
    std::copy(b.begin(), b.end(), out.begin());
    return out;
}

template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> parse(int family, std::string_view text) {
    // A zero byte inside the text would end it early for inet_pton.
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    std::string zeroTerminated(text);
    std::array<std::uint8_t, N> out{};
    if (inet_pton(family, zeroTerminated.c_str(), out.data()) != 1) return std::nullopt;
    return out;
}

const std::string& stringValue(const KeyedContainer& container, const std::string& key) {
    auto it = container.find(key);
    if (it == container.end()) throw KeyedDecodingError("No value associated with key \"" + key + "\"");
    const auto* text = std::get_if<std::string>(&it->second);
    if (!text) throw KeyedDecodingError("Expected to decode String for key \"" + key + "\" but found another type");
    return *text;
}

}  // namespace

std::string describe(const KeyedContainer& container) {
    if (container.empty()) return "[:]";
    std::string out = "[";
    bool first = true;
    for (const auto& [key, value] : container) {
        if (!first) out += ", ";
        first = false;
        out += "\"" + key + "\": ";
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::monostate>) {
                    out += "nil";
                } else if constexpr (std::is_same_v<T, bool>) {
                    out += v ? "true" : "false";
                } else if constexpr (std::is_same_v<T, std::string>) {
                    out += "\"" + v + "\"";
                } else {
                    out += std::to_string(v);
                }
            },
            value);
    }
    return out + "]";
}

std::optional<IPv4Address> IPv4Address::fromBytes(const ByteSlice& bytes) {
    if (auto b = exactBytes<4>(bytes)) return IPv4Address(*b);
    return std::nullopt;
}

std::optional<IPv4Address> IPv4Address::fromString(std::string_view text) {
    if (auto b = parse<4>(AF_INET, text)) return IPv4Address(*b);
    return std::nullopt;
}

// Dotted decimal as inet_ntop writes it, without its formatted printing: this runs for every frame shown.
std::string IPv4Address::description() const {
    char text[15];
    return std::string(text, text::writeDottedQuad(text, bytes_.data()));
}

KeyedContainer IPv4Address::encode() const { return {{"ipv4String", description()}}; }

IPv4Address IPv4Address::decode(const KeyedContainer& container) {
    if (auto address = fromString(stringValue(container, "ipv4String"))) return *address;
    throw IPv4AddressDecodingError("unable to decode IPv4 address from " + describe(container));
}

std::optional<IPv6Address> IPv6Address::fromBytes(const ByteSlice& bytes) {
    if (auto b = exactBytes<16>(bytes)) return IPv6Address(*b);
    return std::nullopt;
}

std::optional<IPv6Address> IPv6Address::fromString(std::string_view text) {
    if (auto b = parse<16>(AF_INET6, text)) return IPv6Address(*b);
    return std::nullopt;
}

std::string IPv6Address::description() const {
    char text[46];
    return std::string(text, text::writeIPv6(text, bytes_.data()));
}

KeyedContainer IPv6Address::encode() const { return {{"ipv6String", description()}}; }

IPv6Address IPv6Address::decode(const KeyedContainer& container) {
    if (auto address = fromString(stringValue(container, "ipv6String"))) return *address;
    throw IPv6AddressDecodingError("unable to decode IPv6 address from " + describe(container));
}

}  // namespace ZuzizavAdiduDazorud
