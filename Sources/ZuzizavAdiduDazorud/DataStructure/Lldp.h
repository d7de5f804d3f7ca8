#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ZuzizavAdiduDazorud {

// One item of an LLDP data unit.
class LldpType {
public:
    enum class Case : std::uint8_t {
        chassisId, portId, portDescription, systemName, ttl, managementAddressIPv4, managementAddressIPv6,
        ouiSpecific, unknown, endOfLldp,
        capabilityOther, capabilityRepeater, capabilityMacBridge, capabilityAccessPoint, capabilityRouter,
        capabilityTelephone, capabilityDOCSIS, capabilityStationOnly, capabilityCVLAN, capabilitySVLAN,
        capabilityMacRelay, capabilityReserved,
        enabledOther, enabledRepeater, enabledMacBridge, enabledAccessPoint, enabledRouter, enabledTelephone,
        enabledDOCSIS, enabledStationOnly, enabledCVLAN, enabledSVLAN, enabledMacRelay, enabledReserved,
    };

    static LldpType chassisId(std::uint8_t subtype, std::string id);
    static LldpType portId(std::uint8_t subtype, std::string id);
    static LldpType portDescription(std::string text);
    static LldpType systemName(std::string text);
    static LldpType ttl(std::int64_t seconds);
    static LldpType managementAddressIPv4(IPv4Address address, std::int64_t subType, std::int64_t interface,
                                          std::string oid);
    static LldpType managementAddressIPv6(IPv6Address address, std::int64_t subType, std::int64_t interface,
                                          std::string oid);
    static LldpType ouiSpecific(std::string oui, std::int64_t subType, std::string info);
    static LldpType unknown(std::int64_t type);
    // endOfLldp and the capability and enabled cases.
    static LldpType plain(Case kind);

    Case kind() const { return kind_; }
    std::uint8_t subtype() const { return static_cast<std::uint8_t>(first_); }
    const std::string& id() const { return text_; }
    const std::string& text() const { return text_; }
    std::int64_t seconds() const { return first_; }
    const IPv4Address& ipv4() const { return ipv4_; }
    const IPv6Address& ipv6() const { return ipv6_; }
    std::int64_t subType() const { return first_; }
    std::int64_t interface() const { return second_; }
    const std::string& oid() const { return extra_; }
    const std::string& oui() const { return text_; }
    const std::string& info() const { return extra_; }
    std::int64_t type() const { return first_; }  // unknown

    // Case names as the capability texts show them.
    static const char* caseName(Case kind);
    std::string description() const;

    friend bool operator==(const LldpType&, const LldpType&) = default;
    std::size_t hashValue() const;

private:
    explicit LldpType(Case kind) : kind_(kind) {}

    Case kind_;
    std::int64_t first_ = 0;
    std::int64_t second_ = 0;
    std::string text_;
    std::string extra_;
    IPv4Address ipv4_;
    IPv6Address ipv6_;
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
    std::size_t hashValue() const;
};

// An LLDP data unit: a walk over type-length-value entries.
struct Lldp {
    ByteSlice data;
    std::vector<LldpValue> values;

    // User-provided, so that emplacing a record runs the member initializers without zero-filling
    // the whole record first.
    Lldp() {}

    static std::optional<Lldp> decode(ByteSlice data);
    // Decodes into a default-constructed record, so a caller can decode in place. `data` takes the
    // bytes either way; false when they are not one (the other fields are then left half-filled).
    static bool decodeInto(Lldp& record, ByteSlice bytes);

    std::string description() const;
    std::string verboseDescription() const;
    std::string hexdump() const { return data.hexdump(); }
};

// "Chassis Component", ..., "Reserved".
const char* chassisSubtypeName(std::uint8_t subtype);
const char* portSubtypeName(std::uint8_t subtype);

}  // namespace ZuzizavAdiduDazorud

template <>
struct std::hash<ZuzizavAdiduDazorud::LldpType> {
    std::size_t operator()(const ZuzizavAdiduDazorud::LldpType& value) const { return value.hashValue(); }
};
template <>
struct std::hash<ZuzizavAdiduDazorud::LldpValue> {
    std::size_t operator()(const ZuzizavAdiduDazorud::LldpValue& value) const { return value.hashValue(); }
};
