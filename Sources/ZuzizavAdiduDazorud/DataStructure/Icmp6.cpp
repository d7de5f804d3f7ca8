#include <ZuzizavAdiduDazorud/DataStructure/Icmp6.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Hashing.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

// Fixed redirect fields, at offsets from the record's start.
constexpr auto redirectFields = fieldLayout({
    {Field::target, 8, 24},
    {Field::destination, 24, 40},
});

namespace {
const char* boolText(bool value) { return value ? "true" : "false"; }
}  // namespace

// MARK: Icmp6Type

Icmp6Type Icmp6Type::other(std::int64_t type, std::int64_t code) {
    Icmp6Type t(Case::other);
    t.first_ = type;
    t.second_ = code;
    return t;
}

Icmp6Type Icmp6Type::parameterProblem(std::int64_t code, std::int64_t pointer) {
    Icmp6Type t(Case::parameterProblem);
    t.first_ = code;
    t.second_ = pointer;
    return t;
}

Icmp6Type Icmp6Type::echoRequest(std::int64_t identifier, std::int64_t sequence) {
    Icmp6Type t(Case::echoRequest);
    t.first_ = identifier;
    t.second_ = sequence;
    return t;
}

Icmp6Type Icmp6Type::echoReply(std::int64_t identifier, std::int64_t sequence) {
    Icmp6Type t = echoRequest(identifier, sequence);
    t.kind_ = Case::echoReply;
    return t;
}

Icmp6Type Icmp6Type::neighborSolicitation(IPv6Address target) {
    Icmp6Type t(Case::neighborSolicitation);
    t.target_ = target;
    return t;
}

Icmp6Type Icmp6Type::neighborAdvertisement(IPv6Address target, bool router, bool solicited, bool override) {
    Icmp6Type t(Case::neighborAdvertisement);
    t.target_ = target;
    t.router_ = router;
    t.solicited_ = solicited;
    t.override_ = override;
    return t;
}

Icmp6Type Icmp6Type::redirect(IPv6Address target, IPv6Address destination) {
    Icmp6Type t(Case::redirect);
    t.target_ = target;
    t.destination_ = destination;
    return t;
}

Icmp6Type Icmp6Type::multicastListener(Case kind, std::int64_t maxResponseDelay, IPv6Address address) {
    Icmp6Type t(kind);
    t.first_ = maxResponseDelay;
    t.target_ = address;
    return t;
}

Icmp6Type Icmp6Type::multicastListenerReportV2(std::int64_t records) {
    Icmp6Type t(Case::multicastListenerReportV2);
    t.first_ = records;
    return t;
}

Icmp6Type Icmp6Type::plain(Case kind) { return Icmp6Type(kind); }

std::string Icmp6Type::name() const {
    switch (kind_) {
        case Case::other: return "Other";
        case Case::parameterProblem: return "Parameter Problem";
        case Case::echoRequest: return "Echo Request";
        case Case::echoReply: return "Echo Reply";
        case Case::neighborSolicitation: return "Neighbor Solicitation";
        case Case::neighborAdvertisement: return "Neighbor Advertisement";
        case Case::redirect: return "Redirect";
        case Case::unreachableNoRoute: return "Unreachable No Route";
        case Case::unreachableProhibited: return "Unreachable Admin Prohibited";
        case Case::unreachableScope: return "Unreachable Scope";
        case Case::unreachableAddress: return "Unreachable Address";
        case Case::unreachablePort: return "Unreachable Port";
        case Case::unreachableSource: return "Unreachable Source Rejected";
        case Case::unreachableRejectRoute: return "Unreachable Route Rejected";
        case Case::packetTooBig: return "Packet Too Big";
        case Case::hopLimitExceeded: return "Hop Limit Exceeded";
        case Case::fragmentReassemblyTimeExceeded: return "Fragment Reassembly Time Exceeded";
        case Case::multicastListenerQuery: return "Multicast Listener Query";
        case Case::multicastListenerReport: return "Multicast Listener Report";
        case Case::multicastListenerDone: return "Multicast Listener Done";
        case Case::multicastListenerReportV2: return "Multicast Listener Report V2";
    }
    return "Other";
}

std::string Icmp6Type::detail() const {
    switch (kind_) {
        case Case::other: return "type " + std::to_string(first_) + " code " + std::to_string(second_);
        case Case::parameterProblem: {
            const std::string at = std::to_string(second_);
            switch (first_) {
                case 0: return "Erroneous header field at " + at;
                case 1: return "Unrecognized next header at " + at;
                case 2: return "Unrecognized IPv6 option at " + at;
                default: return "code " + std::to_string(first_) + " at " + at;
            }
        }
        case Case::echoRequest:
        case Case::echoReply:
            return "identifier " + std::to_string(first_) + " sequence " + std::to_string(second_);
        case Case::neighborSolicitation: return "Target " + target_.description();
        case Case::neighborAdvertisement:
            return "Target " + target_.description() + " router:" + boolText(router_) + " solicited:" +
                   boolText(solicited_) + " override:" + boolText(override_);
        case Case::redirect: return "Target " + target_.description() + " Destination " + destination_.description();
        case Case::multicastListenerQuery:
            return "maxDelay " + std::to_string(first_) + " address " + target_.description();
        case Case::multicastListenerReport:
        case Case::multicastListenerDone: return "address " + target_.description();
        case Case::multicastListenerReportV2: return "records " + std::to_string(first_);
        default: return "";
    }
}

std::size_t Icmp6Type::hashValue() const {
    std::size_t seed = static_cast<std::size_t>(kind_);
    hashCombine(seed, first_);
    hashCombine(seed, second_);
    hashCombine(seed, target_.description());
    hashCombine(seed, destination_.description());
    hashCombine(seed, (router_ ? 4 : 0) | (solicited_ ? 2 : 0) | (override_ ? 1 : 0));
    return seed;
}

// MARK: Icmp6OptionType

Icmp6OptionType Icmp6OptionType::sourceLinkAddress(std::string address) {
    Icmp6OptionType t(Case::sourceLinkAddress);
    t.text_ = std::move(address);
    return t;
}

Icmp6OptionType Icmp6OptionType::targetLinkAddress(std::string address) {
    Icmp6OptionType t = sourceLinkAddress(std::move(address));
    t.kind_ = Case::targetLinkAddress;
    return t;
}

Icmp6OptionType Icmp6OptionType::prefixInfo(std::int64_t prefixLength, bool onLink, bool autoconfig,
                                            std::int64_t validLifetime, std::int64_t preferredLifetime,
                                            IPv6Address prefix) {
    Icmp6OptionType t(Case::prefixInfo);
    t.first_ = prefixLength;
    t.onLink_ = onLink;
    t.autoconfig_ = autoconfig;
    t.second_ = validLifetime;
    t.third_ = preferredLifetime;
    t.prefix_ = prefix;
    return t;
}

Icmp6OptionType Icmp6OptionType::redirectedHeader(ByteSlice header) {
    Icmp6OptionType t(Case::redirectedHeader);
    t.header_ = std::move(header);
    return t;
}

Icmp6OptionType Icmp6OptionType::mtu(std::int64_t mtu) {
    Icmp6OptionType t(Case::mtu);
    t.first_ = mtu;
    return t;
}

Icmp6OptionType Icmp6OptionType::other(std::int64_t type, std::int64_t length) {
    Icmp6OptionType t(Case::other);
    t.first_ = type;
    t.second_ = length;
    return t;
}

std::string Icmp6OptionType::description() const {
    switch (kind_) {
        case Case::sourceLinkAddress: return "Source Link Address " + text_;
        case Case::targetLinkAddress: return "Target Link Address " + text_;
        case Case::prefixInfo:
            return "Prefix " + prefix_.description() + "/" + std::to_string(first_) + " onlink:" + boolText(onLink_) +
                   " autoconfig:" + boolText(autoconfig_) + " ValidLifetime " + std::to_string(second_) +
                   " PreferredLifetime " + std::to_string(third_);
        case Case::redirectedHeader: return "Redirected Header " + header_.description();
        case Case::mtu: return "MTU " + std::to_string(first_);
        case Case::other: return "Other Icmp6Option type " + std::to_string(first_) + " length " + std::to_string(second_);
    }
    return "";
}

std::size_t Icmp6OptionType::hashValue() const {
    std::size_t seed = static_cast<std::size_t>(kind_);
    hashCombine(seed, text_);
    hashCombine(seed, first_);
    hashCombine(seed, second_);
    hashCombine(seed, third_);
    hashCombine(seed, (onLink_ ? 2 : 0) | (autoconfig_ ? 1 : 0));
    hashCombine(seed, prefix_.description());
    hashCombine(seed, header_.hexString());
    return seed;
}

std::size_t Icmp6Option::hashValue() const {
    std::size_t seed = optionType.hashValue();
    hashCombine(seed, startIndex.value_or(0));
    hashCombine(seed, endIndex.value_or(0));
    return seed;
}

std::vector<Icmp6Option> Icmp6Option::getOptions(const ByteSlice& data) {
    std::vector<Icmp6Option> options;
    SliceReader r(data);
    const std::size_t n = r.count();
    if (n < 8) return options;
    const std::size_t s = data.startIndex();
    std::size_t g = 0;
    while (g < n && r.has(g, 2)) {
        const std::uint8_t type = r.u8(g);
        const std::uint8_t length = r.u8(g + 1);
        const std::size_t t = std::size_t{length} * 8;
        if (length == 0) {
            logError([&] {
                return "Icmp6Option.getOptions: invalid length " + std::to_string(length) + " position " +
                       std::to_string(g);
            });
            return options;
        }
        std::optional<Icmp6OptionType> value;
        std::size_t recordedEnd = g + t;
        // Every option must fit inside the data, whatever its kind.
        if (r.has(g, t)) {
            switch (type) {
                case 1:
                case 2: {
                    std::string address = data.slice(s + g + 2, s + g + 8).macAddressText().value_or("");
                    value = type == 1 ? Icmp6OptionType::sourceLinkAddress(std::move(address))
                                      : Icmp6OptionType::targetLinkAddress(std::move(address));
                    recordedEnd = g + 8;
                    break;
                }
                case 3:
                    if (length == 4) {
                        const std::uint8_t flags = r.u8(g + 3);
                        value = Icmp6OptionType::prefixInfo(
                            r.u8(g + 2), flags & 0x80, flags & 0x40, r.u32(g + 4), r.u32(g + 8),
                            IPv6Address::fromBytes(data.slice(s + g + 16, s + g + 32)).value_or(IPv6Address()));
                        recordedEnd = g + 12;
                    }
                    break;
                case 4: value = Icmp6OptionType::redirectedHeader(data.slice(s + g + 8, s + g + t)); break;
                case 5:
                    if (length == 1) value = Icmp6OptionType::mtu(r.u32(g + 4));
                    break;
                default: value = Icmp6OptionType::other(type, static_cast<std::int64_t>(t)); break;
            }
        }
        if (!value || !r.ok()) {
            logError([&] {
                return "Icmp6Option.getOptions: unable to decode type " + std::to_string(type) + " length " +
                       std::to_string(length) + " position " + std::to_string(g);
            });
            return options;
        }
        options.push_back(Icmp6Option{std::move(*value), s + g, s + recordedEnd});
        g += t;
    }
    return options;
}

// MARK: Icmp6

bool Icmp6::decodeInto(Icmp6& icmp, ByteSlice bytes) {
    icmp.data = std::move(bytes);
    const ByteSlice& data = icmp.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    if (n < 8) {
        logError([] { return "incomplete ICMPv6 datagram detected"; });
        return false;
    }
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();
    icmp.type = r.u8(0);
    icmp.code = r.u8(1);
    icmp.checksum = r.u16(2);
    icmp.payload = data.slice(e, e);
    markLayout(icmp, icmpHeaderFields, s, e);

    auto payloadFrom8 = [&] {
        if (n < 9) return;
        icmp.payload = data.slice(s + 8, e);
        markField(icmp, Field::payload, s + 8, e);
    };
    auto incomplete = [&](std::size_t minimum) {
        if (n >= minimum) return false;
        logError([&] {
            return "Incomplete ICMPv6 message type " + std::to_string(icmp.type) + " code " +
                   std::to_string(icmp.code) + " " + std::to_string(n) + " bytes";
        });
        return true;
    };
    auto address = [&](std::size_t from) {
        return IPv6Address::fromBytes(data.slice(s + from, s + from + 16)).value_or(IPv6Address());
    };
    const Icmp6Type other = Icmp6Type::other(icmp.type, icmp.code);

    using Case = Icmp6Type::Case;
    switch (icmp.type) {
        case 1: {
            static constexpr Case byCode[] = {Case::unreachableNoRoute, Case::unreachableProhibited,
                                              Case::unreachableScope,   Case::unreachableAddress,
                                              Case::unreachablePort,    Case::unreachableSource,
                                              Case::unreachableRejectRoute};
            icmp.icmpType = icmp.code <= 6 ? Icmp6Type::plain(byCode[icmp.code]) : other;
            payloadFrom8();
            break;
        }
        case 2:
            icmp.icmpType = Icmp6Type::plain(Case::packetTooBig);
            payloadFrom8();
            break;
        case 3:
            icmp.icmpType = icmp.code == 0   ? Icmp6Type::plain(Case::hopLimitExceeded)
                            : icmp.code == 1 ? Icmp6Type::plain(Case::fragmentReassemblyTimeExceeded)
                                             : other;
            payloadFrom8();
            break;
        case 4:
            icmp.icmpType = Icmp6Type::parameterProblem(icmp.code, r.u32(4));
            markField(icmp, Field::pointer, s + 4, s + 8);
            payloadFrom8();
            break;
        case 128:
        case 129:
            if (icmp.code != 0) {
                icmp.icmpType = other;
                break;
            }
            icmp.icmpType = icmp.type == 128 ? Icmp6Type::echoRequest(r.u16(4), r.u16(6))
                                             : Icmp6Type::echoReply(r.u16(4), r.u16(6));
            markLayout(icmp, icmpEchoFields, s, e);
            payloadFrom8();
            break;
        case 130:
        case 131:
        case 132: {
            if (icmp.code != 0) {
                icmp.icmpType = other;
                break;
            }
            if (incomplete(24)) return false;
            const Case kind = icmp.type == 130   ? Case::multicastListenerQuery
                              : icmp.type == 131 ? Case::multicastListenerReport
                                                 : Case::multicastListenerDone;
            icmp.icmpType = Icmp6Type::multicastListener(kind, r.u16(4), address(8));
            markField(icmp, Field::maxResponseTime, s + 4, s + 6);
            markField(icmp, Field::address, s + 8, s + 24);
            break;
        }
        case 143:
            if (icmp.code != 0) {
                icmp.icmpType = other;
                break;
            }
            icmp.icmpType = Icmp6Type::multicastListenerReportV2(r.u16(6));
            markField(icmp, Field::numberOfGroupRecords, s + 6, s + 8);
            if (n > 8) markField(icmp, Field::groupRecords, s + 8, e);
            break;
        case 135:
        case 136: {
            if (icmp.code != 0) {
                icmp.icmpType = other;
                break;
            }
            if (incomplete(24)) return false;
            if (icmp.type == 135) {
                icmp.icmpType = Icmp6Type::neighborSolicitation(address(8));
            } else {
                const std::uint8_t flags = r.u8(4);
                icmp.icmpType = Icmp6Type::neighborAdvertisement(address(8), flags & 0x80, flags & 0x40, flags & 0x20);
                markField(icmp, Field::flags, s + 4, s + 5);
            }
            markField(icmp, Field::target, s + 8, s + 24);
            icmp.options = Icmp6Option::getOptions(data.slice(s + 24, e));
            break;
        }
        case 137:
            if (icmp.code != 0) {
                icmp.icmpType = other;
                break;
            }
            if (incomplete(40)) return false;
            icmp.icmpType = Icmp6Type::redirect(address(8), address(24));
            markLayout(icmp, redirectFields, s, e);
            icmp.options = Icmp6Option::getOptions(data.slice(s + 40, e));
            break;
        default: icmp.icmpType = other; break;
    }
    return r.ok();
}

std::optional<Icmp6> Icmp6::decode(ByteSlice data) { return decodeRecord<Icmp6>(std::move(data)); }

std::string Icmp6::description() const { return "ICMPv6 type " + icmpType.description(); }

std::string Icmp6::verboseDescription() const {
    return "ICMPv6 type " + std::to_string(type) + " code " + std::to_string(code) + " checksum " +
           std::to_string(checksum) + " " + icmpType.description() + " PayloadLength " +
           std::to_string(payloadLength) + " " + std::to_string(options.size()) + " options";
}

}  // namespace ZuzizavAdiduDazorud
