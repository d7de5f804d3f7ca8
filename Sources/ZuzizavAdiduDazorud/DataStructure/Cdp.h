#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Record.h>
#include <ZuzizavAdiduDazorud/DecodeError.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>
#include <ZuzizavAdiduDazorud/DataStructure/MessageKind.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ZuzizavAdiduDazorud {

// The cases of a CDP advertisement's items, with their values.
namespace cdp {

struct DeviceId {
    std::string text;
    bool operator==(const DeviceId&) const = default;
};
struct Ipv4address {
    IPv4Address address;
    bool operator==(const Ipv4address&) const = default;
};
struct Ipv6address {
    IPv6Address address;
    bool operator==(const Ipv6address&) const = default;
};
struct PortId {
    std::string text;
    bool operator==(const PortId&) const = default;
};
struct SoftwareVersion {
    std::string text;
    bool operator==(const SoftwareVersion&) const = default;
};
struct Platform {
    std::string text;
    bool operator==(const Platform&) const = default;
};
struct TrustBitmap {
    std::string text;
    bool operator==(const TrustBitmap&) const = default;
};
struct UntrustedCos {
    std::string text;
    bool operator==(const UntrustedCos&) const = default;
};
struct Duplex {
    std::string text;
    bool operator==(const Duplex&) const = default;
};
struct NativeVlan {
    std::int64_t vlan = 0;
    bool operator==(const NativeVlan&) const = default;
};
struct SystemName {
    std::string text;
    bool operator==(const SystemName&) const = default;
};
// A TLV of a type not decoded: its bytes, header included.
struct Unknown {
    ByteSlice tlv;
    bool operator==(const Unknown&) const = default;
};
struct CapabilityRouter : NoArguments {};
struct CapabilityBridge : NoArguments {};
struct CapabilitySourceRouteBridge : NoArguments {};
struct CapabilitySwitch : NoArguments {};
struct CapabilityHost : NoArguments {};
struct CapabilityIgmp : NoArguments {};
struct CapabilityRepeater : NoArguments {};
struct CapabilityVoip : NoArguments {};
struct CapabilityRemoteManaged : NoArguments {};
struct CapabilityVtCamera : NoArguments {};
struct CapabilityMacRelay : NoArguments {};

}  // namespace cdp

// One item of a CDP advertisement.
struct CdpType
    : std::variant<cdp::DeviceId, cdp::Ipv4address, cdp::Ipv6address, cdp::PortId, cdp::SoftwareVersion,
                   cdp::Platform, cdp::TrustBitmap, cdp::UntrustedCos, cdp::Duplex, cdp::NativeVlan, cdp::SystemName,
                   cdp::Unknown, cdp::CapabilityRouter, cdp::CapabilityBridge, cdp::CapabilitySourceRouteBridge,
                   cdp::CapabilitySwitch, cdp::CapabilityHost, cdp::CapabilityIgmp, cdp::CapabilityRepeater,
                   cdp::CapabilityVoip, cdp::CapabilityRemoteManaged, cdp::CapabilityVtCamera,
                   cdp::CapabilityMacRelay> {
    using variant::variant;

    // Texts from the wire are escaped.
    std::string description() const { return text::describe(*this); }
    void appendDescription(text::LineWriter& out) const;
};

struct CdpValue {
    CdpType cdpType;
    std::optional<std::size_t> startIndex;
    std::optional<std::size_t> endIndex;

    std::string description() const { return cdpType.description(); }
    friend bool operator==(const CdpValue&, const CdpValue&) = default;
};

std::size_t hashValue(const CdpType& type);
std::size_t hashValue(const CdpValue& value);

// A CDP advertisement: a 4-byte header and type-length-value entries.
struct Cdp : Record<Cdp> {
    static constexpr std::array carriedBy{SnapKey{llc::ciscoOrganisation, llc::cdpType}};

    std::uint8_t version = 0;
    std::uint8_t ttl = 0;
    std::uint16_t checksum = 0;
    std::vector<IPv4Address> ipv4addresses;
    std::vector<IPv6Address> ipv6addresses;
    std::vector<CdpValue> values;

    Cdp() {}
    void reuse() {  // as new, but decodeInto decodes into the values in place, keeping their texts' room
        clearRecord();
        version = 0;
        ttl = 0;
        checksum = 0;
        ipv4addresses.clear();
        ipv6addresses.clear();
    }

    static bool decodeInto(Cdp& record, ByteSlice&& bytes, const DecodeContext& context = {});
    // The values of the one TLV at the start of `data` (which runs to the end of the CDP bytes);
    // throws DecodeError when the TLV is malformed.
    static std::vector<CdpValue> getValues(const ByteSlice& data);

    std::string description() const { return "CDP"; }
    void appendDescription(text::LineWriter& out) const { out << "CDP"; }
    void appendVerboseDescription(text::LineWriter& out) const;
};

}  // namespace ZuzizavAdiduDazorud

template <>
struct std::hash<ZuzizavAdiduDazorud::CdpType> {
    std::size_t operator()(const ZuzizavAdiduDazorud::CdpType& value) const {
        return ZuzizavAdiduDazorud::hashValue(value);
    }
};
template <>
struct std::hash<ZuzizavAdiduDazorud::CdpValue> {
    std::size_t operator()(const ZuzizavAdiduDazorud::CdpValue& value) const {
        return ZuzizavAdiduDazorud::hashValue(value);
    }
};
