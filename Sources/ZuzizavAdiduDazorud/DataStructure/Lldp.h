#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Record.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>
#include <ZuzizavAdiduDazorud/DataStructure/MessageKind.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ZuzizavAdiduDazorud {

// The cases of an LLDP data unit's items, with their values.
namespace lldp {

struct ChassisId {
    static constexpr std::string_view name = "chassisId";
    std::uint8_t subtype = 0;
    std::string id;
    bool operator==(const ChassisId&) const = default;
};
struct PortId {
    static constexpr std::string_view name = "portId";
    std::uint8_t subtype = 0;
    std::string id;
    bool operator==(const PortId&) const = default;
};
struct PortDescription {
    static constexpr std::string_view name = "portDescription";
    std::string text;
    bool operator==(const PortDescription&) const = default;
};
struct SystemName {
    static constexpr std::string_view name = "systemName";
    std::string text;
    bool operator==(const SystemName&) const = default;
};
struct Ttl {
    static constexpr std::string_view name = "ttl";
    std::int64_t seconds = 0;
    bool operator==(const Ttl&) const = default;
};
struct ManagementAddressIPv4 {
    static constexpr std::string_view name = "managementAddressIPv4";
    IPv4Address address;
    std::int64_t subType = 0, interface = 0;
    std::string oid;
    bool operator==(const ManagementAddressIPv4&) const = default;
};
struct ManagementAddressIPv6 {
    static constexpr std::string_view name = "managementAddressIPv6";
    IPv6Address address;
    std::int64_t subType = 0, interface = 0;
    std::string oid;
    bool operator==(const ManagementAddressIPv6&) const = default;
};
struct OuiSpecific {
    static constexpr std::string_view name = "ouiSpecific";
    std::string oui;  // aa:bb:cc
    std::int64_t subType = 0;
    std::string info;
    bool operator==(const OuiSpecific&) const = default;
};
struct Unknown {
    static constexpr std::string_view name = "unknown";
    std::int64_t type = 0;
    bool operator==(const Unknown&) const = default;
};
struct EndOfLldp : NoArguments {
    static constexpr std::string_view name = "endOfLldp";
};
// The capability bits of the system capabilities TLV, by bit (11: any of bits 11 to 15).
inline constexpr std::string_view capabilityBitNames[] = {"Other",     "Repeater",    "MacBridge", "AccessPoint",
                                                          "Router",    "Telephone",   "DOCSIS",    "StationOnly",
                                                          "CVLAN",     "SVLAN",       "MacRelay",  "Reserved"};
// A case name made of two parts, at compile time.
struct JoinedName {
    char text[32] = {};
    std::size_t size = 0;
    constexpr JoinedName(std::string_view first, std::string_view second) {
        for (char c : first) text[size++] = c;
        for (char c : second) text[size++] = c;
    }
    constexpr std::string_view view() const { return {text, size}; }
};
// A capability the system has, or has enabled, by its bit in the system capabilities TLV.
template <unsigned Bit>
struct SystemCapability : NoArguments {
    static constexpr JoinedName joined{"capability", capabilityBitNames[Bit]};
    static constexpr std::string_view name = joined.view();
};
template <unsigned Bit>
struct EnabledCapability : NoArguments {
    static constexpr JoinedName joined{"enabled", capabilityBitNames[Bit]};
    static constexpr std::string_view name = joined.view();
};
using CapabilityOther = SystemCapability<0>;
using CapabilityRepeater = SystemCapability<1>;
using CapabilityMacBridge = SystemCapability<2>;
using CapabilityAccessPoint = SystemCapability<3>;
using CapabilityRouter = SystemCapability<4>;
using CapabilityTelephone = SystemCapability<5>;
using CapabilityDOCSIS = SystemCapability<6>;
using CapabilityStationOnly = SystemCapability<7>;
using CapabilityCVLAN = SystemCapability<8>;
using CapabilitySVLAN = SystemCapability<9>;
using CapabilityMacRelay = SystemCapability<10>;
using CapabilityReserved = SystemCapability<11>;  // any of bits 11 to 15
using EnabledOther = EnabledCapability<0>;
using EnabledRepeater = EnabledCapability<1>;
using EnabledMacBridge = EnabledCapability<2>;
using EnabledAccessPoint = EnabledCapability<3>;
using EnabledRouter = EnabledCapability<4>;
using EnabledTelephone = EnabledCapability<5>;
using EnabledDOCSIS = EnabledCapability<6>;
using EnabledStationOnly = EnabledCapability<7>;
using EnabledCVLAN = EnabledCapability<8>;
using EnabledSVLAN = EnabledCapability<9>;
using EnabledMacRelay = EnabledCapability<10>;
using EnabledReserved = EnabledCapability<11>;

}  // namespace lldp

// One item of an LLDP data unit.
struct LldpType
    : std::variant<lldp::ChassisId, lldp::PortId, lldp::PortDescription, lldp::SystemName, lldp::Ttl,
                   lldp::ManagementAddressIPv4, lldp::ManagementAddressIPv6, lldp::OuiSpecific, lldp::Unknown,
                   lldp::EndOfLldp, lldp::CapabilityOther, lldp::CapabilityRepeater, lldp::CapabilityMacBridge,
                   lldp::CapabilityAccessPoint, lldp::CapabilityRouter, lldp::CapabilityTelephone,
                   lldp::CapabilityDOCSIS, lldp::CapabilityStationOnly, lldp::CapabilityCVLAN, lldp::CapabilitySVLAN,
                   lldp::CapabilityMacRelay, lldp::CapabilityReserved, lldp::EnabledOther, lldp::EnabledRepeater,
                   lldp::EnabledMacBridge, lldp::EnabledAccessPoint, lldp::EnabledRouter, lldp::EnabledTelephone,
                   lldp::EnabledDOCSIS, lldp::EnabledStationOnly, lldp::EnabledCVLAN, lldp::EnabledSVLAN,
                   lldp::EnabledMacRelay, lldp::EnabledReserved> {
    using variant::variant;

    // The case name: "chassisId", ..., "capabilityMacBridge", "enabledRouter".
    std::string_view caseName() const;
    // Texts from the wire are escaped.
    std::string description() const { return text::describe(*this); }
    void appendDescription(text::LineWriter& out) const;
};

struct LldpValue {
    LldpType lldpType;
    std::optional<std::size_t> startIndex;
    std::optional<std::size_t> endIndex;

    // One TLV (any type but 7); none when its content is refused.
    static std::optional<LldpValue> decode(const ByteSlice& tlv);
    // A system-capabilities TLV: one value per set bit, capabilities first.
    static std::vector<LldpValue> systemCapabilities(const ByteSlice& tlv);

    std::string description() const { return lldpType.description(); }
    friend bool operator==(const LldpValue&, const LldpValue&) = default;
};

std::size_t hashValue(const LldpType& type);
std::size_t hashValue(const LldpValue& value);

// An LLDP data unit: a walk over type-length-value entries.
struct Lldp : Record<Lldp> {
    static constexpr std::array carriedBy{EtherTypeKey{etherTypes::lldp}};

    std::vector<LldpValue> values;

    Lldp() {}
    void reuse() { clearRecord(); }  // decodeInto decodes into the list's values in place, keeping their texts' room

    static bool decodeInto(Lldp& record, ByteSlice&& bytes, const DecodeContext& context = {});

    void appendDescription(text::LineWriter& out) const;
    void appendVerboseDescription(text::LineWriter& out) const;
};

// "Chassis Component", ..., "Reserved".
std::string_view chassisSubtypeName(std::uint8_t subtype);
std::string_view portSubtypeName(std::uint8_t subtype);
// The TLV type's name in IEEE 802.1AB: "Chassis ID", ..., "Organizationally Specific"; "Reserved" for the rest.
std::string_view lldpTlvName(std::uint8_t type);

}  // namespace ZuzizavAdiduDazorud

template <>
struct std::hash<ZuzizavAdiduDazorud::LldpType> {
    std::size_t operator()(const ZuzizavAdiduDazorud::LldpType& value) const {
        return ZuzizavAdiduDazorud::hashValue(value);
    }
};
template <>
struct std::hash<ZuzizavAdiduDazorud::LldpValue> {
    std::size_t operator()(const ZuzizavAdiduDazorud::LldpValue& value) const {
        return ZuzizavAdiduDazorud::hashValue(value);
    }
};
