#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Dispatch.h>
#include <ZuzizavAdiduDazorud/DataStructure/LinkType.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace Tidemark {

namespace detail {

namespace etherTypes = ZuzizavAdiduDazorud::etherTypes;
using ZuzizavAdiduDazorud::LinkType;

constexpr int number(LinkType type) { return static_cast<int>(type); }
// Link types libpcap names that the packet library does not decode, and an old QinQ tag.
inline constexpr int loop = 108;      // OpenBSD loopback: the family in network order
inline constexpr int ipv4Only = 228;  // raw IPv4
inline constexpr int ipv6Only = 229;  // raw IPv6
inline constexpr std::uint16_t oldQinQ = 0x9100;

inline std::uint16_t read16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return at + 2 <= bytes.size() ? static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]) : 0;
}

// Where the IP header starts, with the ethertype that announces it; npos for a link type a capture on
// Linux does not give, or a packet too short to say.
inline std::size_t ipStart(int linkType, std::span<const std::uint8_t> bytes, std::uint16_t& etherType) {
    constexpr std::size_t none = std::string::npos;
    switch (linkType) {
        case number(LinkType::ethernet): {  // with any VLAN tags
            std::size_t at = 12;
            etherType = read16(bytes, at);
            while (etherType == etherTypes::vlan || etherType == etherTypes::qinq || etherType == oldQinQ) {
                at += 4;
                etherType = read16(bytes, at);
            }
            return at + 2;
        }
        case number(LinkType::linuxSll): etherType = read16(bytes, 14); return 16;
        case number(LinkType::linuxSll2): etherType = read16(bytes, 0); return 20;
        case number(LinkType::null):  // a family in either byte order
        case loop: {
            if (bytes.size() < 4) return none;
            etherType = bytes[0] == 2 || bytes[3] == 2 ? etherTypes::ipv4 : etherTypes::ipv6;
            return 4;
        }
        case number(LinkType::raw):  // raw IP: the version says which
        case number(LinkType::rawOpenBsd):
        case number(LinkType::rawFile):
        case ipv4Only:
        case ipv6Only:
            if (bytes.empty()) return none;
            etherType = (bytes[0] >> 4) == 4 ? etherTypes::ipv4 : (bytes[0] >> 4) == 6 ? etherTypes::ipv6 : 0;
            return 0;
        default: return none;
    }
}

}  // namespace detail

// How many of a captured packet's bytes run up to the end of its UDP header: none of the datagram's own
// data. Zero for anything that is not a whole UDP header over IPv4 or IPv6, so nothing of it is passed on.
// Reads only inside the packet.
inline std::size_t udpHeaderEnd(int linkType, std::span<const std::uint8_t> bytes) {
    std::uint16_t etherType = 0;
    const std::size_t ip = detail::ipStart(linkType, bytes, etherType);
    if (ip >= bytes.size()) return 0;
    std::size_t end = 0;
    constexpr std::uint8_t udp = ZuzizavAdiduDazorud::ipProtocols::udp;
    if (etherType == detail::etherTypes::ipv4 && (bytes[ip] >> 4) == 4) {
        const std::size_t headerLength = std::size_t{bytes[ip] & 0x0fu} * 4;
        if (ip + 10 > bytes.size() || headerLength < 20 || bytes[ip + 9] != udp) return 0;
        if ((detail::read16(bytes, ip + 6) & 0x1fff) != 0) return 0;  // a later fragment: no UDP header
        end = ip + headerLength + 8;
    } else if (etherType == detail::etherTypes::ipv6 && (bytes[ip] >> 4) == 6) {
        if (ip + 7 > bytes.size() || bytes[ip + 6] != udp) return 0;
        end = ip + 40 + 8;
    } else {
        return 0;
    }
    return end <= bytes.size() ? end : 0;
}

}  // namespace Tidemark
