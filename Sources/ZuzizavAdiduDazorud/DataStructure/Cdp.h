#pragma once

#include <ZuzizavAdiduDazorud/EtherCaptureError.h>
#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ZuzizavAdiduDazorud {

// One item of a CDP advertisement.
class CdpType {
public:
    enum class Case : std::uint8_t {
        deviceId, ipv4address, ipv6address, portId, softwareVersion, platform, trustBitmap, untrustedCos, duplex,
        nativeVlan, systemName, unknown, capabilityRouter, capabilityBridge, capabilitySourceRouteBridge,
        capabilitySwitch, capabilityHost, capabilityIgmp, capabilityRepeater, capabilityVoip,
        capabilityRemoteManaged, capabilityVtCamera, capabilityMacRelay,
    };

    // The cases that carry a text.
    static CdpType text(Case kind, std::string text);
    static CdpType ipv4address(IPv4Address address);
    static CdpType ipv6address(IPv6Address address);
    static CdpType nativeVlan(std::int64_t vlan);
    static CdpType unknown(ByteSlice tlv);
    // The capability cases.
    static CdpType plain(Case kind);

    Case kind() const { return kind_; }
    const std::string& textValue() const { return text_; }
    const IPv4Address& ipv4() const { return ipv4_; }
    const IPv6Address& ipv6() const { return ipv6_; }
    std::int64_t vlan() const { return number_; }
    const ByteSlice& unknownBytes() const { return bytes_; }

    std::string description() const;

    friend bool operator==(const CdpType&, const CdpType&) = default;
    std::size_t hashValue() const;

private:
    explicit CdpType(Case kind) : kind_(kind) {}

    Case kind_;
    std::string text_;
    IPv4Address ipv4_;
    IPv6Address ipv6_;
    std::int64_t number_ = 0;
    ByteSlice bytes_;
};

struct CdpValue {
    CdpType cdpType;
    std::optional<std::size_t> startIndex;
    std::optional<std::size_t> endIndex;

    std::string description() const { return cdpType.description(); }
    friend bool operator==(const CdpValue&, const CdpValue&) = default;
    std::size_t hashValue() const;
};

// A CDP advertisement: a 4-byte header and type-length-value entries.
struct Cdp {
    FieldIndex startIndex;
    FieldIndex endIndex;
    std::uint8_t version = 0;
    std::uint8_t ttl = 0;
    std::uint16_t checksum = 0;
    std::vector<IPv4Address> ipv4addresses;
    std::vector<IPv6Address> ipv6addresses;
    ByteSlice data;
    std::vector<CdpValue> values;

    // User-provided, so that emplacing a record runs the member initializers without zero-filling
    // the whole record first.
    Cdp() {}

    static std::optional<Cdp> decode(ByteSlice data);
    // Decodes into a default-constructed record, so a caller can decode in place. `data` takes the
    // bytes either way; false when they are not one (the other fields are then left half-filled).
    static bool decodeInto(Cdp& record, ByteSlice bytes);
    // The values of the one TLV at the start of `data` (which runs to the end of the CDP bytes);
    // throws EtherCaptureError::genericError.
    static std::vector<CdpValue> getValues(const ByteSlice& data);

    std::string description() const { return "CDP"; }
    std::string verboseDescription() const;
    std::string hexdump() const { return data.hexdump(); }
};

}  // namespace ZuzizavAdiduDazorud

template <>
struct std::hash<ZuzizavAdiduDazorud::CdpType> {
    std::size_t operator()(const ZuzizavAdiduDazorud::CdpType& value) const { return value.hashValue(); }
};
template <>
struct std::hash<ZuzizavAdiduDazorud::CdpValue> {
    std::size_t operator()(const ZuzizavAdiduDazorud::CdpValue& value) const { return value.hashValue(); }
};
