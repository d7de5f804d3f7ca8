// Cisco Discovery Protocol version 2, as carried in IEEE 802.2 SNAP (organisation 00-00-0C, type 0x2000).
// No RFC or IEEE clause covers it; the TLV types are Cisco's published ones.
#include <ZuzizavAdiduDazorud/DataStructure/Cdp.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/Extensions/Hashing.h>
#include <ZuzizavAdiduDazorud/Extensions/Overloaded.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

#include <algorithm>

namespace ZuzizavAdiduDazorud {

namespace {

using namespace cdp;

constexpr auto headerFields = fieldLayout({
    {Field::version, 0, 1},
    {Field::ttl, 1, 2},
    {Field::checksum, 2, 4},
});

// Capability texts, in the order of the variant's capability cases (from CapabilityRouter on).
constexpr std::size_t firstCapability = 12;
constexpr std::string_view capabilityNames[] = {
    "Router", "Bridge", "SourceRouteBridge", "Switch", "Host", "IGMP-Speaker", "Repeater", "VOIP", "Remote Managed",
    "CVTA/STP Dispute Resolution/Cisco VT Camera", "Mac Relay",
};
static_assert(std::is_same_v<std::variant_alternative_t<firstCapability, CdpType::variant>, CapabilityRouter>);
static_assert(firstCapability + std::size(capabilityNames) == std::variant_size_v<CdpType::variant>);

// The TLV being decoded: the CDP bytes, its frame position t, type and length (header included).
// `reader` reads from the TLV's first byte to the end of the CDP bytes.
struct Tlv {
    const ByteSlice& data;
    SliceReader& reader;
    std::size_t t;
    std::uint16_t type;
    std::uint16_t length;
};

using Values = ValuesInPlace<CdpValue, &CdpValue::cdpType>;

// Adds the TLV's values; a text saying what is wrong instead when it is malformed.
using ValueDecoder = std::optional<std::string> (*)(const Tlv&, Values&);

struct TlvRule {
    std::uint16_t type;
    std::string_view name;  // as the failure messages name the value
    std::uint16_t minimumLength;
    std::uint16_t maximumLength;
    ValueDecoder decode;
};

// The TLV's value, to be set in full.
template <typename Case>
Case& next(const Tlv& tlv, Values& values) {
    return values.next<Case>(tlv.t, tlv.t + tlv.length);
}

template <typename Case>
std::optional<std::string> textValue(const Tlv& tlv, Values& values);
std::optional<std::string> addressValues(const Tlv& tlv, Values& values);
std::optional<std::string> capabilityValues(const Tlv& tlv, Values& values);

template <typename Case, typename Make>
constexpr ValueDecoder byteValue() {
    return [](const Tlv& tlv, Values& values) -> std::optional<std::string> {
        next<Case>(tlv, values).text = Make{}(tlv.reader.u8(4));
        return std::nullopt;
    };
}

struct DuplexText {
    std::string operator()(std::uint8_t duplex) const {
        return duplex == 1 ? "Duplex Full" : "Duplex value " + std::to_string(duplex);
    }
};
struct TrustText {
    std::string operator()(std::uint8_t bits) const { return formatNumber("Trust Bitmap 0x%llx", bits); }
};
struct CosText {
    std::string operator()(std::uint8_t cos) const { return formatNumber("Untrusted Port CoS 0x%llx", cos); }
};

std::optional<std::string> nativeVlanValue(const Tlv& tlv, Values& values) {
    next<NativeVlan>(tlv, values).vlan = tlv.reader.u16(4);
    return std::nullopt;
}

constexpr std::uint16_t anyLength = 0xffff;

// The TLV types decoded, by type. Any other type gives Unknown.
constexpr TlvRule tlvRules[] = {
    {1, "deviceId string", 5, anyLength, textValue<DeviceId>},
    {2, "addresses", 5, anyLength, addressValues},
    {3, "portId string", 5, anyLength, textValue<PortId>},
    {4, "capabilities", 8, 8, capabilityValues},
    {5, "software version", 5, anyLength, textValue<SoftwareVersion>},
    {6, "platform", 5, anyLength, textValue<Platform>},
    {10, "native VLAN", 6, 6, nativeVlanValue},
    {11, "duplex", 5, 5, byteValue<Duplex, DuplexText>()},
    {18, "trust bitmap", 5, 5, byteValue<TrustBitmap, TrustText>()},
    {19, "untrusted port CoS", 5, 5, byteValue<UntrustedCos, CosText>()},
    {20, "platform", 5, anyLength, textValue<SystemName>},  // so its messages say, as type 6's do
};

const TlvRule* ruleFor(std::uint16_t type) {
    static constexpr auto byType = rulesByType<32>(tlvRules);
    return byType.find(type);
}

template <typename Case>
std::optional<std::string> textValue(const Tlv& tlv, Values& values) {
    if (!assignUtf8Text(next<Case>(tlv, values).text, tlv.data.slice(tlv.t + 4, tlv.t + tlv.length))) {
        return "cdp type " + std::to_string(tlv.type) + ": unable to decode " + std::string(ruleFor(tlv.type)->name);
    }
    return std::nullopt;
}

// One value per set bit of `bits`, lowest first, each a case of `Cases` in order.
template <typename... Cases>
void addCapabilities(Values& values, std::uint8_t bits, std::size_t at) {
    unsigned bit = 0;
    ((bits & (1u << bit++) ? (void)values.next<Cases>(at, at + 1) : void()), ...);
}

// Capability bits: byte 7 of the TLV, lowest bit first, then the three lowest bits of byte 6.
std::optional<std::string> capabilityValues(const Tlv& tlv, Values& values) {
    addCapabilities<CapabilityRouter, CapabilityBridge, CapabilitySourceRouteBridge, CapabilitySwitch, CapabilityHost,
                    CapabilityIgmp, CapabilityRepeater, CapabilityVoip>(values, tlv.reader.u8(7), tlv.t + 7);
    addCapabilities<CapabilityRemoteManaged, CapabilityVtCamera, CapabilityMacRelay>(values, tlv.reader.u8(6),
                                                                                     tlv.t + 6);
    return std::nullopt;
}

// The addresses of a type 2 TLV. Bounds are those of the CDP bytes from the TLV on, so an entry may
// reach into the next TLV.
std::optional<std::string> addressValues(const Tlv& tlv, Values& values) {
    SliceReader& r = tlv.reader;
    const std::size_t m = r.count();
    const std::size_t t = tlv.t;
    if (m < 8) return "cdp type 2: length " + std::to_string(tlv.length) + " too short for an address count";
    const std::uint32_t count = r.u32(4);
    std::size_t q = 8;
    for (std::uint32_t pass = 0; pass < count; ++pass) {
        if (q + 1 >= m) break;
        // protocol type, protocol length P, protocol, address length, address
        const std::uint8_t protocolLength = r.u8(q + 1);
        if (protocolLength == 1) {
            if (m < q + 9) break;
            const std::uint8_t protocol = r.u8(q + 2);
            const std::uint16_t addressLength = r.u16(q + 3);
            if (protocol == 0xCC) {
                values.next<Ipv4address>(t + q, t + q + 9).address = IPv4Address(r.array<4>(q + 5));
            } else {
                logError([&] { return "CDP: unsupported address protocol " + std::to_string(protocol); });
            }
            q += 5 + addressLength;
        } else if (protocolLength == 8) {
            if (m < q + 28) break;
            const std::uint64_t protocol = r.u64(q + 2);
            const std::uint16_t addressLength = r.u16(q + 10);
            if (protocol == 0xAAAA0300000086DDull) {  // 802.2 SNAP for IPv6
                values.next<Ipv6address>(t + q, t + q + 28).address = IPv6Address(r.array<16>(q + 12));
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
    return std::nullopt;
}

// The values of the TLV that `r` reads from (to the end of the CDP bytes `data`), appended to `values`; a
// failure text (and nothing appended) when the TLV is malformed.
std::optional<std::string> decodeTlv(const ByteSlice& data, SliceReader r, Values& values) {
    const std::size_t m = r.count();
    const std::size_t t = r.position(0);
    const std::uint16_t type = r.u16(0);
    const std::uint16_t length = r.u16(2);
    if (!r.ok() || length < 5 || m < length) {
        return "CDP decode failed length " + std::to_string(length) + " data " + std::to_string(m);
    }
    const TlvRule* rule = ruleFor(type);
    if (!rule) {
        values.next<cdp::Unknown>(t, t + length).tlv.assignSlice(data, t, t + length);
        return std::nullopt;
    }
    if (length < rule->minimumLength || length > rule->maximumLength) {
        // Capabilities say what they could not decode; the fixed-length values call the length invalid.
        if (type == 4) return "cdp type 4: length " + std::to_string(length) + " unable to decode capabilities";
        return "cdp type " + std::to_string(type) + " length " + std::to_string(length) + " invalid";
    }
    // Decoded straight into the list (no list of its own to allocate); a refused TLV takes back what it added.
    const std::size_t before = values.size();
    if (auto failure = rule->decode(Tlv{data, r, t, type, length}, values)) {
        values.truncate(before);
        return failure;
    }
    return std::nullopt;
}

}  // namespace

void CdpType::appendDescription(text::LineWriter& out) const {
    std::visit(Overloaded{
                   [&](const DeviceId& c) {
                       out << "deviceID ";
                       appendEscapedText(out, c.text);
                   },
                   [&](const Ipv4address& c) { out << "ipv4 " << c.address; },
                   [&](const Ipv6address& c) { out << "ipv6 " << c.address; },
                   [&](const PortId& c) {
                       out << "portID ";
                       appendEscapedText(out, c.text);
                   },
                   [&](const SoftwareVersion& c) {
                       out << "Version ";
                       appendEscapedText(out, c.text);
                   },
                   [&](const Platform& c) {
                       out << "Platform ";
                       appendEscapedText(out, c.text);
                   },
                   [&](const TrustBitmap& c) { appendEscapedText(out, c.text); },
                   [&](const UntrustedCos& c) { appendEscapedText(out, c.text); },
                   [&](const Duplex& c) { appendEscapedText(out, c.text); },
                   [&](const NativeVlan& c) {
                       out << "NativeVLAN ";
                       out.decimal(c.vlan);
                   },
                   [&](const SystemName& c) {
                       out << "Device Name ";
                       appendEscapedText(out, c.text);
                   },
                   [&](const cdp::Unknown& c) {
                       out << "UnknownCdpValue ";
                       out.decimal(c.tlv.count()) << " bytes type ";
                       out.decimal(c.tlv.at(c.tlv.startIndex() + 1).value_or(0));
                   },
                   [&](const NoArguments&) { out << capabilityNames[index() - firstCapability]; },
               },
               static_cast<const variant&>(*this));
}

std::size_t hashValue(const CdpType& type) { return hashOf(static_cast<const CdpType::variant&>(type)); }

std::size_t hashValue(const CdpValue& value) { return hashOf(value); }

std::vector<CdpValue> Cdp::getValues(const ByteSlice& data) {
    std::vector<CdpValue> values;
    Values decoded(values);
    if (auto failure = decodeTlv(data, SliceReader(data), decoded)) throw DecodeError(std::move(*failure));
    decoded.finish();
    return values;
}

bool Cdp::decodeInto(Cdp& cdp, ByteSlice&& bytes, const DecodeContext& context) {
    cdp.data = std::move(bytes);
    const ByteSlice& data = cdp.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    Values values(cdp.values);
    if (n < 10) {
        values.finish();
        return false;
    }
    const std::size_t s = data.startIndex();
    cdp.version = readField<headerFields, Field::version>(r);
    cdp.ttl = readField<headerFields, Field::ttl>(r);
    cdp.checksum = readField<headerFields, Field::checksum>(r);
    markLayout(cdp, headerFields, s, data.endIndex());
    // TLVs: type, length (header included), value; each needs its 4-byte header and a value byte.
    walkItems(
        r, 4, 5, cdp.status, context,
        [&](std::size_t p) { return std::optional<std::size_t>(std::max<std::size_t>(r.u16(p + 2), 5)); },
        [&](std::size_t p, std::size_t) {
            auto failure = decodeTlv(data, r.part(p, n - p), values);
            if (failure) {
                logError([&] {
                    return "Cdp: error decoding cdpValue at position " + std::to_string(p) + " type " +
                           std::to_string(r.u16(p)) + " length " + std::to_string(r.u16(p + 2)) + " error " +
                           DecodeError(*failure).description();
                });
            }
            return !failure;
        });
    values.finish();
    return r.ok();
}

void Cdp::appendVerboseDescription(text::LineWriter& out) const {
    out << "CDP version ";
    out.decimal(version) << ' ';
    out.decimal(values.size()) << " values";
    appendStatus(out, status);
}

}  // namespace ZuzizavAdiduDazorud
