#include <ZuzizavAdiduDazorud/DataStructure/Cdp.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/Extensions/Hashing.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>


namespace ZuzizavAdiduDazorud {

// Fixed header fields, at offsets from the record's start.
constexpr auto headerFields = fieldLayout({
    {Field::version, 0, 1},
    {Field::ttl, 1, 2},
    {Field::checksum, 2, 4},
});

CdpType CdpType::text(Case kind, std::string text) {
    CdpType t(kind);
    t.text_ = std::move(text);
    return t;
}

CdpType CdpType::ipv4address(IPv4Address address) {
    CdpType t(Case::ipv4address);
    t.ipv4_ = address;
    return t;
}

CdpType CdpType::ipv6address(IPv6Address address) {
    CdpType t(Case::ipv6address);
    t.ipv6_ = address;
    return t;
}

CdpType CdpType::nativeVlan(std::int64_t vlan) {
    CdpType t(Case::nativeVlan);
    t.number_ = vlan;
    return t;
}

CdpType CdpType::unknown(ByteSlice tlv) {
    CdpType t(Case::unknown);
    t.bytes_ = std::move(tlv);
    return t;
}

CdpType CdpType::plain(Case kind) { return CdpType(kind); }

std::string CdpType::description() const {
    switch (kind_) {
        case Case::deviceId: return "deviceID " + escapedText(text_);
        case Case::ipv4address: return "ipv4 " + ipv4_.description();
        case Case::ipv6address: return "ipv6 " + ipv6_.description();
        case Case::portId: return "portID " + escapedText(text_);
        case Case::softwareVersion: return "Version " + escapedText(text_);
        case Case::platform: return "Platform " + escapedText(text_);
        case Case::trustBitmap:
        case Case::untrustedCos:
        case Case::duplex: return escapedText(text_);
        case Case::nativeVlan: return "NativeVLAN " + std::to_string(number_);
        case Case::systemName: return "Device Name " + escapedText(text_);
        case Case::unknown:
            return "UnknownCdpValue " + std::to_string(bytes_.count()) + " bytes type " +
                   std::to_string(bytes_.at(bytes_.startIndex() + 1).value_or(0));
        case Case::capabilityRouter: return "Router";
        case Case::capabilityBridge: return "Bridge";
        case Case::capabilitySourceRouteBridge: return "SourceRouteBridge";
        case Case::capabilitySwitch: return "Switch";
        case Case::capabilityHost: return "Host";
        case Case::capabilityIgmp: return "IGMP-Speaker";
        case Case::capabilityRepeater: return "Repeater";
        case Case::capabilityVoip: return "VOIP";
        case Case::capabilityRemoteManaged: return "Remote Managed";
        case Case::capabilityVtCamera: return "CVTA/STP Dispute Resolution/Cisco VT Camera";
        case Case::capabilityMacRelay: return "Mac Relay";
    }
    return "";
}

std::size_t CdpType::hashValue() const {
    std::size_t seed = static_cast<std::size_t>(kind_);
    hashCombine(seed, text_);
    hashCombine(seed, ipv4_.description());
    hashCombine(seed, ipv6_.description());
    hashCombine(seed, number_);
    hashCombine(seed, bytes_.hexString());
    return seed;
}

std::size_t CdpValue::hashValue() const {
    std::size_t seed = cdpType.hashValue();
    hashCombine(seed, startIndex.value_or(0));
    hashCombine(seed, endIndex.value_or(0));
    return seed;
}

namespace {

[[noreturn]] void fail(std::string message) { throw EtherCaptureError::genericError(std::move(message)); }

// The addresses of a type 2 TLV; bounds are those of the CDP bytes from the TLV on.
std::vector<CdpValue> addressValues(const ByteSlice& data) {
    SliceReader r(data);
    const std::size_t m = r.count();
    const std::size_t t = data.startIndex();
    const std::uint16_t length = r.u16(2);
    if (m < 8) fail("cdp type 2: length " + std::to_string(length) + " too short for an address count");
    const std::uint32_t count = r.u32(4);
    std::vector<CdpValue> values;
    std::size_t q = 8;
    for (std::uint32_t pass = 0; pass < count; ++pass) {
        if (q + 1 >= m) break;
        const std::uint8_t protocolLength = r.u8(q + 1);
        if (protocolLength == 1) {
            if (m < q + 9) break;
            const std::uint8_t protocol = r.u8(q + 2);
            const std::uint16_t addressLength = r.u16(q + 3);
            if (protocol == 0xCC) {
                if (auto address = IPv4Address::fromBytes(data.slice(t + q + 5, t + q + 9))) {
                    values.push_back({CdpType::ipv4address(*address), t + q, t + q + 9});
                }
            } else {
                logError([&] { return "CDP: unsupported address protocol " + std::to_string(protocol); });
            }
            q += 5 + addressLength;
        } else if (protocolLength == 8) {
            if (m < q + 28) break;
            const std::uint64_t protocol = r.u64(q + 2);
            const std::uint16_t addressLength = r.u16(q + 10);
            if (protocol == 0xAAAA0300000086DDull) {
                if (auto address = IPv6Address::fromBytes(data.slice(t + q + 12, t + q + 28))) {
                    values.push_back({CdpType::ipv6address(*address), t + q, t + q + 28});
                }
            } else {
                logError([&] { return "CDP: unsupported address protocol " + std::to_string(protocol); });
            }
            q += 12 + addressLength;
        } else {
            logError([&] { return "Cdp: unexpected protocol length " + std::to_string(protocolLength); });
            if (m < q + 4 + protocolLength) break;
            q += 4 + protocolLength + r.u16(q + 2 + protocolLength);
        }
    }
    return values;
}

}  // namespace

std::vector<CdpValue> Cdp::getValues(const ByteSlice& data) {
    SliceReader r(data);
    const std::size_t m = r.count();
    const std::size_t t = data.startIndex();
    const std::uint16_t type = r.u16(0);
    const std::uint16_t length = r.u16(2);
    if (!r.ok() || length < 5 || m < length) {
        fail("CDP decode failed length " + std::to_string(length) + " data " + std::to_string(m));
    }
    const ByteSlice value = data.slice(t + 4, t + length);
    auto textValue = [&](CdpType::Case kind, const std::string& failure) {
        auto text = utf8Text(value);
        if (!text) fail(failure);
        return std::vector<CdpValue>{{CdpType::text(kind, std::move(*text)), t, t + length}};
    };
    auto fixedLength = [&](std::size_t required) {
        if (length != required) fail("cdp type " + std::to_string(type) + " length " + std::to_string(length) + " invalid");
    };
    using Case = CdpType::Case;
    switch (type) {
        case 1: return textValue(Case::deviceId, "cdp type 1: unable to decode deviceId string");
        case 2: return addressValues(data);
        case 3: return textValue(Case::portId, "cdp type 3: unable to decode portId string");
        case 4: {
            if (length != 8) fail("cdp type 4: length " + std::to_string(length) + " unable to decode capabilities");
            std::vector<CdpValue> values;
            static constexpr Case lowByte[] = {Case::capabilityRouter, Case::capabilityBridge,
                                               Case::capabilitySourceRouteBridge, Case::capabilitySwitch,
                                               Case::capabilityHost, Case::capabilityIgmp,
                                               Case::capabilityRepeater, Case::capabilityVoip};
            static constexpr Case highByte[] = {Case::capabilityRemoteManaged, Case::capabilityVtCamera,
                                                Case::capabilityMacRelay};
            const std::uint8_t byte7 = r.u8(7);
            const std::uint8_t byte6 = r.u8(6);
            for (int bit = 0; bit < 8; ++bit) {
                if (byte7 & (1 << bit)) values.push_back({CdpType::plain(lowByte[bit]), t + 7, t + 8});
            }
            for (int bit = 0; bit < 3; ++bit) {
                if (byte6 & (1 << bit)) values.push_back({CdpType::plain(highByte[bit]), t + 6, t + 7});
            }
            return values;
        }
        case 5: return textValue(Case::softwareVersion, "cdp type 5: unable to decode software version");
        case 6: return textValue(Case::platform, "cdp type 6: unable to decode platform");
        case 10:
            fixedLength(6);
            return {{CdpType::nativeVlan(r.u16(4)), t, t + length}};
        case 11: {
            fixedLength(5);
            const std::uint8_t duplex = r.u8(4);
            return {{CdpType::text(Case::duplex, duplex == 1 ? "Duplex Full" : "Duplex value " + std::to_string(duplex)),
                     t, t + length}};
        }
        case 18:
            fixedLength(5);
            return {{CdpType::text(Case::trustBitmap, formatNumber("Trust Bitmap 0x%llx", r.u8(4))), t, t + length}};
        case 19:
            fixedLength(5);
            return {{CdpType::text(Case::untrustedCos, formatNumber("Untrusted Port CoS 0x%llx", r.u8(4))), t, t + length}};
        case 20: return textValue(Case::systemName, "cdp type 20: unable to decode platform");
        default: return {{CdpType::unknown(data.slice(t, t + length)), t, t + length}};
    }
}

bool Cdp::decodeInto(Cdp& cdp, ByteSlice bytes) {
    cdp.data = std::move(bytes);
    const ByteSlice& data = cdp.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    if (n < 10) return false;
    const std::size_t s = data.startIndex();
    cdp.version = r.u8(0);
    cdp.ttl = r.u8(1);
    cdp.checksum = r.u16(2);
    markLayout(cdp, headerFields, s, data.endIndex());
    std::size_t p = 4;
    for (;;) {
        // A TLV needs its 4-byte header and at least one value byte.
        if (p + 5 > n) break;
        const std::uint16_t type = r.u16(p);
        const std::uint16_t length = r.u16(p + 2);
        if (p + length > n) break;
        try {
            auto values = getValues(data.sliceFrom(s + p));
            cdp.values.insert(cdp.values.end(), values.begin(), values.end());
        } catch (const EtherCaptureError& error) {
            logError([&] {
                return "Cdp: error decoding cdpValue at position " + std::to_string(p) + " type " +
                       std::to_string(type) + " length " + std::to_string(length) + " error " + error.description();
            });
            break;
        }
        p += length;
        if (length < 5) break;
    }
    return r.ok();
}

std::optional<Cdp> Cdp::decode(ByteSlice data) { return decodeRecord<Cdp>(std::move(data)); }

std::string Cdp::verboseDescription() const {
    return "CDP version " + std::to_string(version) + " " + std::to_string(values.size()) + " values";
}

}  // namespace ZuzizavAdiduDazorud
