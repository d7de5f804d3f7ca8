#pragma once

#include <cstdint>

namespace ZuzizavAdiduDazorud {

// Link-layer header types of live captures and capture files: libpcap's DLT_ and LINKTYPE_ values.
// Any other number may be held too (static_cast); the frame then stays undecoded.
enum class LinkType : std::int32_t {
    null = 0,         // BSD loopback: a 4-byte address family in the writer's byte order
    ethernet = 1,     // Ethernet II and IEEE 802.3
    raw = 12,         // raw IPv4 or IPv6, as Linux numbers it live (tun devices)
    rawOpenBsd = 14,  // raw IP as OpenBSD numbers it
    rawFile = 101,    // raw IP as capture files number it
    ieee80211 = 105,  // decoded as Ethernet
    linuxSll = 113,   // Linux cooked header (the "any" device)
    linuxSll2 = 276,  // Linux cooked header, version 2
};

// The link types a Frame decodes.
constexpr bool isDecodable(LinkType type) {
    switch (type) {
        case LinkType::null:
        case LinkType::ethernet:
        case LinkType::raw:
        case LinkType::rawOpenBsd:
        case LinkType::rawFile:
        case LinkType::ieee80211:
        case LinkType::linuxSll:
        case LinkType::linuxSll2: return true;
    }
    return false;
}

constexpr bool isDecodable(std::int32_t type) { return isDecodable(static_cast<LinkType>(type)); }

}  // namespace ZuzizavAdiduDazorud
