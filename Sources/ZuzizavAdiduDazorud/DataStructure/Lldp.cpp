#include <ZuzizavAdiduDazorud/DataStructure/Lldp.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/Extensions/Hashing.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

LldpType LldpType::chassisId(std::uint8_t subtype, std::string id) {
    LldpType t(Case::chassisId);
    t.first_ = subtype;
    t.text_ = std::move(id);
    return t;
}

LldpType LldpType::portId(std::uint8_t subtype, std::string id) {
    LldpType t = chassisId(subtype, std::move(id));
    t.kind_ = Case::portId;
    return t;
}

LldpType LldpType::portDescription(std::string text) {
    LldpType t(Case::portDescription);
    t.text_ = std::move(text);
    return t;
}

LldpType LldpType::systemName(std::string text) {
    LldpType t(Case::systemName);
    t.text_ = std::move(text);
    return t;
}

LldpType LldpType::ttl(std::int64_t seconds) {
    LldpType t(Case::ttl);
    t.first_ = seconds;
    return t;
}

LldpType LldpType::managementAddressIPv4(IPv4Address address, std::int64_t subType, std::int64_t interface,
                                         std::string oid) {
    LldpType t(Case::managementAddressIPv4);
    t.ipv4_ = address;
    t.first_ = subType;
    t.second_ = interface;
    t.extra_ = std::move(oid);
    return t;
}

LldpType LldpType::managementAddressIPv6(IPv6Address address, std::int64_t subType, std::int64_t interface,
                                         std::string oid) {
    LldpType t(Case::managementAddressIPv6);
    t.ipv6_ = address;
    t.first_ = subType;
    t.second_ = interface;
    t.extra_ = std::move(oid);
    return t;
}

LldpType LldpType::ouiSpecific(std::string oui, std::int64_t subType, std::string info) {
    LldpType t(Case::ouiSpecific);
    t.text_ = std::move(oui);
    t.first_ = subType;
    t.extra_ = std::move(info);
    return t;
}

LldpType LldpType::unknown(std::int64_t type) {
    LldpType t(Case::unknown);
    t.first_ = type;
    return t;
}

LldpType LldpType::plain(Case kind) { return LldpType(kind); }

const char* LldpType::caseName(Case kind) {
    switch (kind) {
        case Case::capabilityOther: return "capabilityOther";
        case Case::capabilityRepeater: return "capabilityRepeater";
        case Case::capabilityMacBridge: return "capabilityMacBridge";
        case Case::capabilityAccessPoint: return "capabilityAccessPoint";
        case Case::capabilityRouter: return "capabilityRouter";
        case Case::capabilityTelephone: return "capabilityTelephone";
        case Case::capabilityDOCSIS: return "capabilityDOCSIS";
        case Case::capabilityStationOnly: return "capabilityStationOnly";
        case Case::capabilityCVLAN: return "capabilityCVLAN";
        case Case::capabilitySVLAN: return "capabilitySVLAN";
        case Case::capabilityMacRelay: return "capabilityMacRelay";
        case Case::capabilityReserved: return "capabilityReserved";
        case Case::enabledOther: return "enabledOther";
        case Case::enabledRepeater: return "enabledRepeater";
        case Case::enabledMacBridge: return "enabledMacBridge";
        case Case::enabledAccessPoint: return "enabledAccessPoint";
        case Case::enabledRouter: return "enabledRouter";
        case Case::enabledTelephone: return "enabledTelephone";
        case Case::enabledDOCSIS: return "enabledDOCSIS";
        case Case::enabledStationOnly: return "enabledStationOnly";
        case Case::enabledCVLAN: return "enabledCVLAN";
        case Case::enabledSVLAN: return "enabledSVLAN";
        case Case::enabledMacRelay: return "enabledMacRelay";
        case Case::enabledReserved: return "enabledReserved";
        default: return "";
    }
}

const char* chassisSubtypeName(std::uint8_t subtype) {
    switch (subtype) {
        case 1: return "Chassis Component";
        case 2: return "Interface alias";
        case 3: return "Port Component";
        case 4: return "MAC Address";
        case 5: return "Network Address";
        case 6: return "Interface Name";
        case 7: return "Locally Assigned";
        default: return "Reserved";
    }
}

const char* portSubtypeName(std::uint8_t subtype) {
    switch (subtype) {
        case 1: return "Interface alias";
        case 2: return "Port Component";
        case 3: return "MAC Address";
        case 4: return "Network Address";
        case 5: return "Interface Name";
        case 6: return "Agent Circuit ID";
        case 7: return "Locally Assigned";
        default: return "Reserved";
    }
}

std::string LldpType::description() const {
    auto management = [&](const std::string& address) {
        return "ManagementAddress " + address + " InterfaceSubtype " + std::to_string(first_) + " interface " +
               std::to_string(second_) + " oid " + escapedText(extra_);
    };
    switch (kind_) {
        case Case::chassisId: return std::string("Chassis Id ") + chassisSubtypeName(subtype()) + " " + escapedText(text_);
        case Case::portId: return std::string("Port Id ") + portSubtypeName(subtype()) + " " + escapedText(text_);
        case Case::portDescription: return "Port Description " + escapedText(text_);
        case Case::systemName: return "System Name " + escapedText(text_);
        case Case::ttl: return "TTL " + std::to_string(first_);
        case Case::managementAddressIPv4: return management(ipv4_.description());
        case Case::managementAddressIPv6: return management(ipv6_.description());
        case Case::ouiSpecific:
            return "OUI " + text_ + " subType " + std::to_string(first_) + " " + escapedASCII(extra_);
        case Case::unknown: return "Unknown LLDP TLV Type " + std::to_string(first_);
        case Case::endOfLldp: return "End Of LLDP";
        default: return caseName(kind_);
    }
}

std::size_t LldpType::hashValue() const {
    std::size_t seed = static_cast<std::size_t>(kind_);
    hashCombine(seed, first_);
    hashCombine(seed, second_);
    hashCombine(seed, text_);
    hashCombine(seed, extra_);
    hashCombine(seed, ipv4_.description());
    hashCombine(seed, ipv6_.description());
    return seed;
}

std::size_t LldpValue::hashValue() const {
    std::size_t seed = lldpType.hashValue();
    hashCombine(seed, startIndex.value_or(0));
    hashCombine(seed, endIndex.value_or(0));
    return seed;
}

namespace {

// Chassis and port IDs: a subtype byte and the id bytes.
std::optional<LldpType> decodeId(const ByteSlice& tlv, std::uint8_t type, std::uint8_t macSubtype,
                                 std::uint8_t networkSubtype) {
    SliceReader r(tlv);
    const std::size_t n = r.count();
    const std::size_t t = tlv.startIndex();
    auto refuse = [&](const std::string& detail) {
        logError([&] { return "LLDP: unable to decode type " + std::to_string(type) + detail; });
        return std::nullopt;
    };
    if (n < 3) return refuse(" data.count " + std::to_string(n));  // no subtype byte
    const std::uint8_t subtype = r.u8(2);
    const ByteSlice id = tlv.slice(t + 3, t + n);
    auto make = [&](std::string text) {
        return type == 1 ? LldpType::chassisId(subtype, std::move(text)) : LldpType::portId(subtype, std::move(text));
    };
    if (subtype == macSubtype) {
        auto mac = id.macAddressText();
        if (!mac) return refuse("");
        return make(std::move(*mac));
    }
    if (subtype == networkSubtype) {
        if (n < 4) return refuse("");  // no family byte
        const std::uint8_t family = r.u8(3);
        if (family == 1) {
            if (n < 8) return refuse("");
            auto address = IPv4Address::fromBytes(tlv.slice(t + 4, t + 8));
            if (!address) return refuse(" ipv4 address");
            return make(address->description());
        }
        if (family == 2) {
            if (n < 20) return refuse("");
            auto address = IPv6Address::fromBytes(tlv.slice(t + 4, t + 20));
            if (!address) return refuse(" ipv6 address");
            return make(address->description());
        }
        return refuse(" addressType " + std::to_string(family));
    }
    auto text = utf8Text(id);
    if (!text) return refuse("");
    return make(std::move(*text));
}

std::optional<LldpType> decodeManagementAddress(const ByteSlice& tlv) {
    SliceReader r(tlv);
    const std::size_t n = r.count();
    const std::size_t t = tlv.startIndex();
    auto refuse = [&](const std::string& detail) {
        logError([&] { return "LLDP: unable to decode type 8" + detail; });
        return std::nullopt;
    };
    if (n < 11) return refuse(" data.count " + std::to_string(n));
    const std::size_t addressLength = r.u8(2);
    if (n < addressLength + 9) return refuse(" data.count " + std::to_string(n));
    const std::uint8_t family = r.u8(3);
    const std::size_t required = family == 1 ? 5 : family == 2 ? 17 : 0;
    if (required == 0 || addressLength != required) {
        return refuse(" data.count " + std::to_string(n) + " addressLength " + std::to_string(addressLength) +
                      " addressSubtype " + std::to_string(family));
    }
    const std::size_t after = 4 + addressLength - 1;  // first byte after the address
    const std::int64_t subType = r.u8(after);
    const std::int64_t interface = r.u32(after + 1);
    const std::size_t oidLength = r.u8(after + 5);
    const std::size_t oidStart = after + 6;
    if (!r.ok() || oidStart + oidLength > n) {
        return refuse(" data.count " + std::to_string(n) + " oidLength " + std::to_string(oidLength));
    }
    std::string oid = utf8Text(tlv.slice(t + oidStart, t + oidStart + oidLength)).value_or("");
    if (family == 1) {
        auto address = IPv4Address::fromBytes(tlv.slice(t + 4, t + 8));
        if (!address) return refuse(" ipv4 address");
        return LldpType::managementAddressIPv4(*address, subType, interface, std::move(oid));
    }
    auto address = IPv6Address::fromBytes(tlv.slice(t + 4, t + 20));
    if (!address) return refuse(" ipv6 address");
    return LldpType::managementAddressIPv6(*address, subType, interface, std::move(oid));
}

}  // namespace

std::optional<LldpValue> LldpValue::decode(const ByteSlice& tlv) {
    SliceReader r(tlv);
    const std::size_t count = r.count();
    if (count < 2) return std::nullopt;
    const std::uint16_t header = r.u16(0);
    const std::uint8_t type = static_cast<std::uint8_t>(header >> 9);
    const std::size_t n = std::size_t{header & 0x1ffu} + 2;
    if (count < n) return std::nullopt;
    const std::size_t t = tlv.startIndex();
    const ByteSlice bytes = tlv.slice(t, t + n);
    const ByteSlice value = tlv.slice(t + 2, t + n);
    auto text = [&]() -> std::optional<std::string> {
        auto decoded = utf8Text(value);
        if (!decoded) logError([&] { return "LLDP: unable to decode type " + std::to_string(type); });
        return decoded;
    };

    std::optional<LldpType> decoded;
    switch (type) {
        case 0: decoded = LldpType::plain(LldpType::Case::endOfLldp); break;
        case 1: decoded = decodeId(bytes, 1, 4, 5); break;
        case 2: decoded = decodeId(bytes, 2, 3, 4); break;
        case 3:
            if (n < 4) {
                logError([&] { return "LLDP: unable to decode type 3 data.count " + std::to_string(n); });
                break;
            }
            decoded = LldpType::ttl(r.u16(2));
            break;
        case 4:
            if (auto t4 = text()) decoded = LldpType::portDescription(std::move(*t4));
            break;
        case 5:
        case 6:
            if (auto t5 = text()) decoded = LldpType::systemName(std::move(*t5));
            break;
        case 8: decoded = decodeManagementAddress(bytes); break;
        case 127: {
            if (n < 6) {
                logError([&] { return "LLDP: unable to decode type 127 data.count " + std::to_string(n); });
                break;
            }
            std::string oui = tlv.slice(t + 2, t + 5).ouiText().value_or("");
            std::string info = utf8Text(tlv.slice(t + 6, t + n)).value_or("");
            decoded = LldpType::ouiSpecific(std::move(oui), r.u8(5), std::move(info));
            break;
        }
        default: decoded = LldpType::unknown(type); break;
    }
    if (!decoded || !r.ok()) return std::nullopt;
    return LldpValue{std::move(*decoded), t, t + n};
}

std::vector<LldpValue> LldpValue::systemCapabilities(const ByteSlice& tlv) {
    std::vector<LldpValue> values;
    SliceReader r(tlv);
    if (r.count() < 6) return values;
    const std::size_t t = tlv.startIndex();
    using Case = LldpType::Case;
    static constexpr Case capabilities[] = {
        Case::capabilityOther,     Case::capabilityRepeater,    Case::capabilityMacBridge, Case::capabilityAccessPoint,
        Case::capabilityRouter,    Case::capabilityTelephone,   Case::capabilityDOCSIS,    Case::capabilityStationOnly,
        Case::capabilityCVLAN,     Case::capabilitySVLAN,       Case::capabilityMacRelay,  Case::capabilityReserved};
    static constexpr Case enabled[] = {
        Case::enabledOther,  Case::enabledRepeater,  Case::enabledMacBridge, Case::enabledAccessPoint,
        Case::enabledRouter, Case::enabledTelephone, Case::enabledDOCSIS,    Case::enabledStationOnly,
        Case::enabledCVLAN,  Case::enabledSVLAN,     Case::enabledMacRelay,  Case::enabledReserved};
    auto add = [&](std::uint16_t mask, const Case* cases, std::size_t from) {
        for (int bit = 0; bit < 11; ++bit) {
            if (mask & (1u << bit)) values.push_back({LldpType::plain(cases[bit]), t + from, t + from + 2});
        }
        if (mask >= 0x0800) values.push_back({LldpType::plain(cases[11]), t + from, t + from + 2});
    };
    add(r.u16(2), capabilities, 2);
    add(r.u16(4), enabled, 4);
    return values;
}

bool Lldp::decodeInto(Lldp& lldp, ByteSlice bytes) {
    lldp.data = std::move(bytes);
    const ByteSlice& data = lldp.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    if (n < 2) return false;
    const std::size_t s = data.startIndex();
    std::size_t f = 0;
    while (f + 2 <= n) {
        const std::uint16_t header = r.u16(f);
        const std::size_t next = f + 2 + (header & 0x1ffu);
        if (next > n) return false;
        const ByteSlice tlv = data.slice(s + f, s + next);
        if ((header >> 9) == 7) {
            auto capabilities = LldpValue::systemCapabilities(tlv);
            lldp.values.insert(lldp.values.end(), capabilities.begin(), capabilities.end());
        } else if (auto value = LldpValue::decode(tlv)) {
            lldp.values.push_back(std::move(*value));
        }
        f = next;
    }
    return true;
}

std::optional<Lldp> Lldp::decode(ByteSlice data) { return decodeRecord<Lldp>(std::move(data)); }

std::string Lldp::description() const { return "LLDP " + std::to_string(values.size()) + " TLV values"; }

std::string Lldp::verboseDescription() const {
    std::string out = "LLDP ";
    for (const auto& value : values) out += value.description() + " ";
    return out;
}

}  // namespace ZuzizavAdiduDazorud
