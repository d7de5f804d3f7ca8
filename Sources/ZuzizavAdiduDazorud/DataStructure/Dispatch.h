#pragma once

// The numbers by which one layer names what it carries, and the keys by which a record says it is
// carried: a record declares
//     static constexpr std::array carriedBy{EtherTypeKey{etherTypes::arp}, ...};
// and the layer it belongs to (Layer.h) decodes it for those keys.

#include <cstdint>

namespace ZuzizavAdiduDazorud {

// Ethertypes (IEEE 802 numbers).
namespace etherTypes {
inline constexpr std::uint16_t ipv4 = 0x0800;
inline constexpr std::uint16_t arp = 0x0806;
inline constexpr std::uint16_t rarp = 0x8035;
inline constexpr std::uint16_t vlan = 0x8100;  // 802.1Q
inline constexpr std::uint16_t qinq = 0x88a8;  // 802.1ad
inline constexpr std::uint16_t ipv6 = 0x86DD;
inline constexpr std::uint16_t lldp = 0x88CC;
// The largest value of the Ethernet type field that is an 802.3 length instead.
inline constexpr std::uint16_t maximumLength = 1500;
}  // namespace etherTypes

// IP protocol numbers (IANA).
namespace ipProtocols {
inline constexpr std::uint8_t icmp = 1;
inline constexpr std::uint8_t igmp = 2;
inline constexpr std::uint8_t tcp = 6;
inline constexpr std::uint8_t udp = 17;
inline constexpr std::uint8_t icmpv6 = 58;
}  // namespace ipProtocols

// 802.2 LLC service access points and SNAP organisations and types.
namespace llc {
inline constexpr std::uint8_t spanningTree = 0x42;
inline constexpr std::uint8_t snap = 0xAA;
inline constexpr std::uint32_t ciscoOrganisation = 0x00000C;
inline constexpr std::uint16_t cdpType = 0x2000;
}  // namespace llc

enum class IpFamily : std::uint8_t { v4, v6 };

struct EtherTypeKey {
    std::uint16_t type;
    friend constexpr bool operator==(EtherTypeKey, EtherTypeKey) = default;
};
// An 802.2 LLC header's destination service access point.
struct LlcKey {
    std::uint8_t dsap;
    friend constexpr bool operator==(LlcKey, LlcKey) = default;
};
// A SNAP header's organisation and type.
struct SnapKey {
    std::uint32_t organisation;
    std::uint16_t type;
    friend constexpr bool operator==(SnapKey, SnapKey) = default;
};
// An IPv4 protocol or IPv6 next header.
struct IpKey {
    IpFamily family;
    std::uint8_t protocol;
    friend constexpr bool operator==(IpKey, IpKey) = default;
};

}  // namespace ZuzizavAdiduDazorud
