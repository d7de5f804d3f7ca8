#pragma once

#include <arpa/inet.h>

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Tidemark {

// An IPv4 or IPv6 address as its bytes; no Qt, for the capture helper too.
struct NetAddress {
    std::uint8_t family = 0;               // 4 or 6; 0: no address
    std::array<std::uint8_t, 16> bytes{};  // an IPv4 address in the first four

    static NetAddress v4(std::array<std::uint8_t, 4> octets) {
        NetAddress a;
        a.family = 4;
        for (std::size_t i = 0; i < 4; ++i) a.bytes[i] = octets[i];
        return a;
    }
    static NetAddress v6(std::array<std::uint8_t, 16> octets) { return NetAddress{6, octets}; }

    static std::optional<NetAddress> fromText(std::string_view text) {
        const std::string s(text);
        NetAddress a;
        if (inet_pton(AF_INET, s.c_str(), a.bytes.data()) == 1) {
            a.family = 4;
            return a;
        }
        if (inet_pton(AF_INET6, s.c_str(), a.bytes.data()) == 1) {
            a.family = 6;
            return a;
        }
        return std::nullopt;
    }

    // The usual text: dotted decimal, or RFC 5952 for IPv6.
    std::string text() const {
        char buffer[INET6_ADDRSTRLEN] = {};
        if (family == 4) inet_ntop(AF_INET, bytes.data(), buffer, sizeof buffer);
        if (family == 6) inet_ntop(AF_INET6, bytes.data(), buffer, sizeof buffer);
        return buffer;
    }

    std::uint32_t v4Value() const {
        return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
    }

    // Whether the first `prefix` bits equal those of `network` (of the same family).
    bool startsWith(const std::array<std::uint8_t, 16>& network, unsigned prefix) const {
        const unsigned width = family == 4 ? 32 : 128;
        if (prefix > width) return false;
        for (unsigned bit = 0; bit < prefix; bit += 8) {
            const unsigned left = prefix - bit;
            const std::uint8_t mask = left >= 8 ? 0xff : static_cast<std::uint8_t>(0xff << (8 - left));
            if ((bytes[bit / 8] & mask) != (network[bit / 8] & mask)) return false;
        }
        return true;
    }
    bool inV4(std::uint32_t network, unsigned prefix) const {
        if (family != 4 || prefix > 32) return false;
        const std::uint32_t mask = prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - prefix);
        return (v4Value() & mask) == (network & mask);
    }

    // Whether the address may be a server's on the Internet. False for every range a person's own
    // machine or network may use, or that reaches no one: private (RFC 1918), shared (CGNAT), loopback,
    // link-local, unique-local, multicast, broadcast, unspecified and IPv4-mapped or -translated
    // forms of those. Such an address is never sent anywhere.
    bool isPublic() const {
        if (family == 4) {
            struct Range {
                std::uint32_t network;
                unsigned prefix;
            };
            static constexpr Range local[] = {
                {0x00000000, 8},  {0x0a000000, 8},  {0x64400000, 10}, {0x7f000000, 8}, {0xa9fe0000, 16},
                {0xac100000, 12}, {0xc0a80000, 16}, {0xc0000000, 24}, {0xe0000000, 4}, {0xf0000000, 4},
            };
            for (const Range& r : local) {
                if (inV4(r.network, r.prefix)) return false;
            }
            return true;
        }
        if (family != 6) return false;
        // IPv4 inside IPv6 (mapped ::ffff:0:0/96, NAT64 64:ff9b::/96): the IPv4 address decides.
        static constexpr std::array<std::uint8_t, 16> mapped{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
        static constexpr std::array<std::uint8_t, 16> nat64{0, 0x64, 0xff, 0x9b};
        if (startsWith(mapped, 96) || startsWith(nat64, 96)) {
            return v4({bytes[12], bytes[13], bytes[14], bytes[15]}).isPublic();
        }
        static constexpr std::array<std::uint8_t, 16> global{0x20};
        return startsWith(global, 3);  // 2000::/3, the only unicast space handed out
    }

    friend auto operator<=>(const NetAddress&, const NetAddress&) = default;
};

}  // namespace Tidemark
