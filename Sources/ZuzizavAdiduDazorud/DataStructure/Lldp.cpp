// Link Layer Discovery Protocol: IEEE 802.1AB-2016, clause 8 (the LLDPDU and its basic TLVs, 8.5).
#include <ZuzizavAdiduDazorud/DataStructure/Lldp.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/Extensions/Hashing.h>
#include <ZuzizavAdiduDazorud/Extensions/Overloaded.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

#include <algorithm>
#include <array>
#include <utility>

namespace ZuzizavAdiduDazorud {

namespace {

using namespace lldp;


// Chassis ID (8.5.2.2) and port ID (8.5.3.2) subtypes 1 to 7; any other is reserved.
constexpr std::string_view chassisSubtypes[] = {"Reserved",        "Chassis Component", "Interface alias",
                                                "Port Component",  "MAC Address",       "Network Address",
                                                "Interface Name",  "Locally Assigned"};
constexpr std::string_view portSubtypes[] = {"Reserved",        "Interface alias",  "Port Component",
                                             "MAC Address",     "Network Address",  "Interface Name",
                                             "Agent Circuit ID", "Locally Assigned"};

// One TLV: the LLDP bytes, a reader of the TLV's own (header included), its frame position t, type and
// byte count n.
struct Tlv {
    const ByteSlice& bytes;
    SliceReader& reader;
    std::size_t t;
    std::uint8_t type;
    std::size_t n;
};

using Values = ValuesInPlace<LldpValue, &LldpValue::lldpType>;

// Adds the TLV's values to `values`; a refused TLV adds none and is logged.
using ValueDecoder = void (*)(const Tlv&, Values&);

struct TlvRule {
    std::uint8_t type;
    std::string_view name;
    std::size_t minimumLength;  // of the whole TLV, header included; shorter ones are refused
    std::size_t maximumLength;
    ValueDecoder decode;
};

void refuse(const Tlv& tlv, const std::string& detail) {
    logError([&] { return "LLDP: unable to decode type " + std::to_string(tlv.type) + detail; });
}

// The TLV's value, to be set in full.
template <typename Case>
Case& next(const Tlv& tlv, Values& values) {
    return values.next<Case>(tlv.t, tlv.t + tlv.n);
}

// Sets a text of the last value; bytes that are not UTF-8 take the value back and refuse the TLV.
void setText(const Tlv& tlv, Values& values, std::string& text, const ByteSlice& bytes) {
    if (assignUtf8Text(text, bytes)) return;
    values.truncate(values.size() - 1);
    refuse(tlv, "");
}

// The value bytes as UTF-8 text, or refused.
template <typename Case>
void textValue(const Tlv& tlv, Values& values) {
    Case& value = next<Case>(tlv, values);
    setText(tlv, values, value.text, tlv.bytes.slice(tlv.t + 2, tlv.t + tlv.n));
}

// Chassis and port IDs (8.5.2, 8.5.3): a subtype byte and the id, a MAC address, a network address
// (family byte and address) or text by subtype.
template <typename Case, std::uint8_t macSubtype, std::uint8_t networkSubtype>
void idValue(const Tlv& tlv, Values& values) {
    SliceReader& r = tlv.reader;
    const std::size_t n = tlv.n;
    const std::uint8_t subtype = r.u8(2);
    const ByteSlice id = tlv.bytes.slice(tlv.t + 3, tlv.t + n);
    if (subtype == macSubtype) {
        if (id.count() < 6) return refuse(tlv, "");
        Case& value = next<Case>(tlv, values);
        value.subtype = subtype;
        value.id.resize(17);
        text::writeColonHex(value.id.data(), id.bytes().first(6));
        return;
    }
    if (subtype == networkSubtype) {
        if (n < 4) return refuse(tlv, "");  // no family byte
        const std::uint8_t family = r.u8(3);
        if (family != 1 && family != 2) return refuse(tlv, " addressType " + std::to_string(family));
        if (n < (family == 1 ? 8 : 20)) return refuse(tlv, "");
        Case& value = next<Case>(tlv, values);
        value.subtype = subtype;
        value.id = family == 1 ? IPv4Address(r.array<4>(4)).description() : IPv6Address(r.array<16>(4)).description();
        return;
    }
    Case& value = next<Case>(tlv, values);
    value.subtype = subtype;
    setText(tlv, values, value.id, id);
}

void ttlValue(const Tlv& tlv, Values& values) { next<Ttl>(tlv, values).seconds = tlv.reader.u16(2); }

// The capabilities of a mask (8.5.8), one value per set bit (bit 11 for any of bits 11 to 15), each
// with the range [from, to) of its mask.
template <template <unsigned> typename Capability>
void addCapabilities(Values& values, std::uint16_t mask, std::size_t from, std::size_t to) {
    [&]<unsigned... Bit>(std::integer_sequence<unsigned, Bit...>) {
        ((mask & (1u << Bit) ? (void)values.next<Capability<Bit>>(from, to) : void()), ...);
    }(std::make_integer_sequence<unsigned, 11>{});
    if (mask >= 0x0800) values.next<Capability<11>>(from, to);
}

// Bytes 2-3 the capabilities, 4-5 those enabled.
void capabilityValues(const Tlv& tlv, Values& values) {
    if (tlv.n < 6) return;
    addCapabilities<SystemCapability>(values, tlv.reader.u16(2), tlv.t + 2, tlv.t + 4);
    addCapabilities<EnabledCapability>(values, tlv.reader.u16(4), tlv.t + 4, tlv.t + 6);
}

// Management address (8.5.9): address string length (family byte included), family, address, interface
// numbering subtype, interface number, OID length, OID.
void managementAddressValue(const Tlv& tlv, Values& values) {
    SliceReader& r = tlv.reader;
    const std::size_t n = tlv.n;
    const std::size_t addressLength = r.u8(2);
    if (n < addressLength + 9) return refuse(tlv, " data.count " + std::to_string(n));
    const std::uint8_t family = r.u8(3);
    const std::size_t required = family == 1 ? 5 : family == 2 ? 17 : 0;
    if (required == 0 || addressLength != required) {
        return refuse(tlv, " data.count " + std::to_string(n) + " addressLength " + std::to_string(addressLength) +
                               " addressSubtype " + std::to_string(family));
    }
    const std::size_t after = 3 + addressLength;  // first byte after the address
    const std::int64_t subType = r.u8(after);
    const std::int64_t interface = r.u32(after + 1);
    const std::size_t oidLength = r.u8(after + 5);
    const std::size_t oidStart = after + 6;
    if (!r.ok() || oidStart + oidLength > n) {
        return refuse(tlv, " data.count " + std::to_string(n) + " oidLength " + std::to_string(oidLength));
    }
    std::string oid = utf8Text(tlv.bytes.slice(tlv.t + oidStart, tlv.t + oidStart + oidLength)).value_or("");
    if (family == 1) {
        return values.add(ManagementAddressIPv4{IPv4Address(r.array<4>(4)), subType, interface, std::move(oid)}, tlv.t,
                          tlv.t + n);
    }
    values.add(ManagementAddressIPv6{IPv6Address(r.array<16>(4)), subType, interface, std::move(oid)}, tlv.t, tlv.t + n);
}

// Organizationally specific (8.6): OUI, subtype, information (empty when it is not UTF-8).
void ouiValue(const Tlv& tlv, Values& values) {
    OuiSpecific& value = next<OuiSpecific>(tlv, values);
    value.oui = tlv.bytes.slice(tlv.t + 2, tlv.t + 5).ouiText().value_or("");
    value.subType = tlv.reader.u8(5);
    if (!assignUtf8Text(value.info, tlv.bytes.slice(tlv.t + 6, tlv.t + tlv.n))) value.info.clear();
}

void endValue(const Tlv& tlv, Values& values) { next<EndOfLldp>(tlv, values); }

constexpr std::size_t anyLength = 2 + 511;

// The TLV types decoded (8.4.1, table 8-1). Any other type gives Unknown.
constexpr TlvRule tlvRules[] = {
    {0, "End Of LLDPDU", 2, anyLength, endValue},
    {1, "Chassis ID", 3, anyLength, idValue<ChassisId, 4, 5>},
    {2, "Port ID", 3, anyLength, idValue<PortId, 3, 4>},
    {3, "Time To Live", 4, anyLength, ttlValue},
    {4, "Port Description", 2, anyLength, textValue<PortDescription>},
    {5, "System Name", 2, anyLength, textValue<SystemName>},
    {6, "System Description", 2, anyLength, textValue<SystemName>},  // given as a system name
    {7, "System Capabilities", 2, anyLength, capabilityValues},      // shorter than 6: no values, silently
    {8, "Management Address", 11, anyLength, managementAddressValue},
    {127, "Organizationally Specific", 6, anyLength, ouiValue},
};

const TlvRule* ruleFor(std::uint8_t type) {
    static constexpr auto byType = rulesByType<128>(tlvRules);
    return byType.find(type);
}

// The values of one TLV whose bytes are all there.
void decodeTlv(const ByteSlice& bytes, SliceReader r, std::uint8_t type, Values& values) {
    const Tlv tlv{bytes, r, r.position(0), type, r.count()};
    const TlvRule* rule = ruleFor(type);
    if (!rule) {
        next<lldp::Unknown>(tlv, values).type = type;
        return;
    }
    if (tlv.n < rule->minimumLength || tlv.n > rule->maximumLength) {
        return refuse(tlv, " data.count " + std::to_string(tlv.n));
    }
    rule->decode(tlv, values);
}

}  // namespace

std::string_view chassisSubtypeName(std::uint8_t subtype) {
    return chassisSubtypes[subtype < std::size(chassisSubtypes) ? subtype : 0];
}

std::string_view portSubtypeName(std::uint8_t subtype) {
    return portSubtypes[subtype < std::size(portSubtypes) ? subtype : 0];
}

std::string_view lldpTlvName(std::uint8_t type) {
    const TlvRule* rule = ruleFor(type);
    return rule ? rule->name : "Reserved";
}

std::string_view LldpType::caseName() const { return caseNameOf(*this); }

void LldpType::appendDescription(text::LineWriter& out) const {
    auto management = [&](const auto& m) {
        out << "ManagementAddress " << m.address << " InterfaceSubtype ";
        out.decimal(m.subType) << " interface ";
        out.decimal(m.interface) << " oid ";
        appendEscapedText(out, m.oid);
    };
    std::visit(Overloaded{
                   [&](const ChassisId& c) {
                       out << "Chassis Id " << chassisSubtypeName(c.subtype) << ' ';
                       appendEscapedText(out, c.id);
                   },
                   [&](const PortId& c) {
                       out << "Port Id " << portSubtypeName(c.subtype) << ' ';
                       appendEscapedText(out, c.id);
                   },
                   [&](const PortDescription& c) {
                       out << "Port Description ";
                       appendEscapedText(out, c.text);
                   },
                   [&](const SystemName& c) {
                       out << "System Name ";
                       appendEscapedText(out, c.text);
                   },
                   [&](const Ttl& c) {
                       out << "TTL ";
                       out.decimal(c.seconds);
                   },
                   [&](const ManagementAddressIPv4& c) { management(c); },
                   [&](const ManagementAddressIPv6& c) { management(c); },
                   [&](const OuiSpecific& c) {
                       out << "OUI " << c.oui << " subType ";
                       out.decimal(c.subType) << ' ' << escapedASCII(c.info);
                   },
                   [&](const lldp::Unknown& c) {
                       out << "Unknown LLDP TLV Type ";
                       out.decimal(c.type);
                   },
                   [&](const EndOfLldp&) { out << "End Of LLDP"; },
                   [&](const NoArguments&) { out << caseName(); },
               },
               static_cast<const variant&>(*this));
}

std::size_t hashValue(const LldpType& type) { return hashOf(static_cast<const LldpType::variant&>(type)); }

std::size_t hashValue(const LldpValue& value) { return hashOf(value); }

std::optional<LldpValue> LldpValue::decode(const ByteSlice& tlv) {
    SliceReader r(tlv);
    const std::uint16_t header = r.u16(0);
    const std::size_t n = std::size_t{header & 0x1ffu} + 2;
    if (!r.ok() || r.count() < n) return std::nullopt;
    const auto type = static_cast<std::uint8_t>(header >> 9);
    const std::size_t t = tlv.startIndex();
    if (type == 7) return LldpValue{lldp::Unknown{type}, t, t + n};  // capabilities give several values
    std::vector<LldpValue> values;
    Values decoded(values);
    decodeTlv(tlv, r.part(0, n), type, decoded);
    decoded.finish();
    if (values.empty()) return std::nullopt;
    return std::move(values.front());
}

std::vector<LldpValue> LldpValue::systemCapabilities(const ByteSlice& tlv) {
    std::vector<LldpValue> values;
    Values decoded(values);
    SliceReader r(tlv);
    capabilityValues(Tlv{tlv, r, tlv.startIndex(), 7, r.count()}, decoded);
    decoded.finish();
    return values;
}

bool Lldp::decodeInto(Lldp& lldp, ByteSlice&& bytes, const DecodeContext& context) {
    lldp.data = std::move(bytes);
    const ByteSlice& data = lldp.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    Values values(lldp.values);
    // TLVs: 7 bits of type and 9 of value length, then the value. The walk goes on past an end TLV.
    if (n >= 2) {
        walkItems(
            r, 0, 2, lldp.status, context,
            [&](std::size_t f) { return std::optional<std::size_t>(2 + (r.u16(f) & 0x1ffu)); },
            [&](std::size_t f, std::size_t length) {
                decodeTlv(data, r.part(f, length), static_cast<std::uint8_t>(r.u16(f) >> 9), values);
                return true;
            });
    }
    values.finish();
    return n >= 2;
}

void Lldp::appendDescription(text::LineWriter& out) const {
    out << "LLDP ";
    out.decimal(values.size()) << " TLV values";
}

void Lldp::appendVerboseDescription(text::LineWriter& out) const {
    out << "LLDP ";
    for (const auto& value : values) out << value.lldpType << ' ';
    if (status != DecodeStatus::complete) out << '[' << toString(status) << ']';
}

}  // namespace ZuzizavAdiduDazorud
