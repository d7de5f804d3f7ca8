// ICMPv6: RFC 4443; neighbour discovery and its options: RFC 4861; multicast listener discovery:
// RFC 2710 (MLDv1) and RFC 3810 (MLDv2 reports).
#include <ZuzizavAdiduDazorud/DataStructure/Icmp6.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Hashing.h>
#include <ZuzizavAdiduDazorud/Extensions/Overloaded.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

namespace {

using namespace icmp6;


// Destination unreachable (type 1) by code.
constexpr Icmp6Type unreachableByCode[] = {UnreachableNoRoute{}, UnreachableProhibited{}, UnreachableScope{},
                                           UnreachableAddress{}, UnreachablePort{},       UnreachableSource{},
                                           UnreachableRejectRoute{}};

// Parameter problem (type 4) details by code.
constexpr std::string_view problemNames[] = {"Erroneous header field at ", "Unrecognized next header at ",
                                             "Unrecognized IPv6 option at "};

// Fields after type, code and checksum, at offsets from the record's start.
constexpr auto pointerFields = fieldLayout({{Field::pointer, 4, 8}});
constexpr auto neighborFields = fieldLayout({{Field::flags, 4, 5}, {Field::target, 8, 24}});
constexpr auto redirectFields = fieldLayout({{Field::target, 8, 24}, {Field::destination, 24, 40}});
constexpr auto listenerFields = fieldLayout({{Field::maxResponseTime, 4, 6}, {Field::address, 8, 24}});
constexpr auto reportV2Fields = fieldLayout({{Field::numberOfGroupRecords, 6, 8}});

template <typename Echo>
void writeEcho(text::LineWriter& out, const Echo& echo) {
    out << "identifier ";
    out.decimal(echo.identifier) << " sequence ";
    out.decimal(echo.sequence);
}

template <typename LinkAddress>
LinkAddress linkAddress(const ByteSlice& data, std::size_t from) {
    return LinkAddress{data.slice(from, from + 6).macAddressText().value_or("")};
}

}  // namespace

// MARK: Icmp6Type

std::string_view Icmp6Type::name() const { return caseNameOf(*this); }

void Icmp6Type::appendDescription(text::LineWriter& out) const {
    out << name() << ' ';
    std::visit(Overloaded{
                   [&](const Other& c) {
                       out << "type ";
                       out.decimal(c.type) << " code ";
                       out.decimal(c.code);
                   },
                   [&](const ParameterProblem& c) {
                       if (c.code >= 0 && c.code < static_cast<std::int64_t>(std::size(problemNames))) {
                           out << problemNames[c.code];
                       } else {
                           out << "code ";
                           out.decimal(c.code) << " at ";
                       }
                       out.decimal(c.pointer);
                   },
                   [&](const EchoRequest& c) { writeEcho(out, c); },
                   [&](const EchoReply& c) { writeEcho(out, c); },
                   [&](const NeighborSolicitation& c) { out << "Target " << c.target; },
                   [&](const NeighborAdvertisement& c) {
                       out << "Target " << c.target << " router:";
                       out.boolean(c.router) << " solicited:";
                       out.boolean(c.solicited) << " override:";
                       out.boolean(c.override);
                   },
                   [&](const Redirect& c) { out << "Target " << c.target << " Destination " << c.destination; },
                   [&](const MulticastListenerQuery& c) {
                       out << "maxDelay ";
                       out.decimal(c.maxResponseDelay) << " address " << c.address;
                   },
                   [&](const MulticastListenerReport& c) { out << "address " << c.address; },
                   [&](const MulticastListenerDone& c) { out << "address " << c.address; },
                   [&](const MulticastListenerReportV2& c) {
                       out << "records ";
                       out.decimal(c.records);
                   },
                   [](const NoArguments&) {},
               },
               static_cast<const variant&>(*this));
}

std::size_t hashValue(const Icmp6Type& type) { return hashOf(static_cast<const Icmp6Type::variant&>(type)); }

// MARK: Icmp6OptionType

void Icmp6OptionType::appendDescription(text::LineWriter& out) const {
    using namespace icmp6option;
    std::visit(Overloaded{
                   [&](const SourceLinkAddress& o) { out << "Source Link Address " << o.address; },
                   [&](const TargetLinkAddress& o) { out << "Target Link Address " << o.address; },
                   [&](const PrefixInfo& o) {
                       out << "Prefix " << o.prefix << '/';
                       out.decimal(o.prefixLength) << " onlink:";
                       out.boolean(o.onLink) << " autoconfig:";
                       out.boolean(o.autoconfig) << " ValidLifetime ";
                       out.decimal(o.validLifetime) << " PreferredLifetime ";
                       out.decimal(o.preferredLifetime);
                   },
                   [&](const RedirectedHeader& o) { out << "Redirected Header " << o.header.description(); },
                   [&](const Mtu& o) {
                       out << "MTU ";
                       out.decimal(o.mtu);
                   },
                   [&](const icmp6option::Other& o) {
                       out << "Other Icmp6Option type ";
                       out.decimal(o.type) << " length ";
                       out.decimal(o.length);
                   },
               },
               static_cast<const variant&>(*this));
}

std::size_t hashValue(const Icmp6OptionType& type) {
    return hashOf(static_cast<const Icmp6OptionType::variant&>(type));
}

std::size_t hashValue(const Icmp6Option& option) { return hashOf(option); }

std::vector<Icmp6Option> Icmp6Option::getOptions(const ByteSlice& data) {
    DecodeStatus status = DecodeStatus::complete;
    return getOptions(data, status, {});
}

std::vector<Icmp6Option> Icmp6Option::getOptions(const ByteSlice& data, DecodeStatus& status,
                                                 const DecodeContext& context) {
    using namespace icmp6option;
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
            status = DecodeStatus::malformed;
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
                    value = linkAddress<SourceLinkAddress>(data, s + g + 2);
                    recordedEnd = g + 8;
                    break;
                case 2:
                    value = linkAddress<TargetLinkAddress>(data, s + g + 2);
                    recordedEnd = g + 8;
                    break;
                case 3:
                    if (length == 4) {
                        // prefix length, flags, valid and preferred lifetimes, 4 reserved bytes, prefix
                        const std::uint8_t flags = r.u8(g + 3);
                        value = PrefixInfo{r.u8(g + 2), (flags & 0x80) != 0, (flags & 0x40) != 0, r.u32(g + 4),
                                           r.u32(g + 8), IPv6Address(r.array<16>(g + 16))};
                        recordedEnd = g + 12;
                    }
                    break;
                case 4: value = RedirectedHeader{data.slice(s + g + 8, s + g + t)}; break;
                case 5:
                    if (length == 1) value = Mtu{r.u32(g + 4)};  // after 2 reserved bytes
                    break;
                default: value = icmp6option::Other{type, static_cast<std::int64_t>(t)}; break;
            }
        }
        if (!value || !r.ok()) {
            if (r.has(g, t)) {
                status = DecodeStatus::malformed;  // a length its type does not take
            } else {
                markShort(status, context);
            }
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

bool Icmp6::decodeInto(Icmp6& icmp, ByteSlice&& bytes, const DecodeContext& context) {
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
    icmp.type = readField<icmpHeaderFields, Field::type>(r);
    icmp.code = readField<icmpHeaderFields, Field::code>(r);
    icmp.checksum = readField<icmpHeaderFields, Field::checksum>(r);
    icmp.payload.assignSlice(data, e, e);
    markLayout(icmp, icmpHeaderFields, s, e);

    auto payloadFrom8 = [&] {
        if (n < 9) return;
        icmp.payload.assignSlice(data, s + 8, e);
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
    auto target = [&] { return IPv6Address(readBytes<neighborFields, Field::target>(r)); };
    auto listener = [&]<typename Message>(Message) {
        icmp.icmpType = Message{readField<listenerFields, Field::maxResponseTime>(r),
                                IPv6Address(readBytes<listenerFields, Field::address>(r))};
        markLayout(icmp, listenerFields, s, e);
    };

    // Beyond the error messages (types 1 to 4) every kind needs code 0; any other code gives Other.
    if (icmp.type > 4 && icmp.code != 0) {
        icmp.icmpType = Other{icmp.type, icmp.code};
        return r.ok();
    }
    switch (icmp.type) {
        case 1:
            if (icmp.code <= 6) {
                icmp.icmpType = unreachableByCode[icmp.code];
            } else {
                icmp.icmpType = Other{icmp.type, icmp.code};
            }
            payloadFrom8();
            break;
        case 2:
            icmp.icmpType = PacketTooBig{};
            payloadFrom8();
            break;
        case 3:
            if (icmp.code == 0) {
                icmp.icmpType = HopLimitExceeded{};
            } else if (icmp.code == 1) {
                icmp.icmpType = FragmentReassemblyTimeExceeded{};
            } else {
                icmp.icmpType = Other{icmp.type, icmp.code};
            }
            payloadFrom8();
            break;
        case 4:
            icmp.icmpType = ParameterProblem{icmp.code, readField<pointerFields, Field::pointer>(r)};
            markLayout(icmp, pointerFields, s, e);
            payloadFrom8();
            break;
        case 128:
        case 129: {
            const std::int64_t identifier = readField<icmpEchoFields, Field::identifier>(r);
            const std::int64_t sequence = readField<icmpEchoFields, Field::sequence>(r);
            if (icmp.type == 128) {
                icmp.icmpType = EchoRequest{identifier, sequence};
            } else {
                icmp.icmpType = EchoReply{identifier, sequence};
            }
            markLayout(icmp, icmpEchoFields, s, e);
            payloadFrom8();
            break;
        }
        case 130:
            if (incomplete(24)) return false;
            listener(MulticastListenerQuery{});
            break;
        case 131:
            if (incomplete(24)) return false;
            listener(MulticastListenerReport{});
            break;
        case 132:
            if (incomplete(24)) return false;
            listener(MulticastListenerDone{});
            break;
        case 143:
            icmp.icmpType = MulticastListenerReportV2{readField<reportV2Fields, Field::numberOfGroupRecords>(r)};
            markLayout(icmp, reportV2Fields, s, e);
            if (n > 8) markField(icmp, Field::groupRecords, s + 8, e);
            break;
        case 135:
            if (incomplete(24)) return false;
            icmp.icmpType = NeighborSolicitation{target()};
            markField(icmp, Field::target, s + 8, s + 24);
            icmp.options = Icmp6Option::getOptions(data.slice(s + 24, e), icmp.status, context);
            break;
        case 136: {
            if (incomplete(24)) return false;
            const std::uint8_t flags = readField<neighborFields, Field::flags>(r);
            icmp.icmpType = NeighborAdvertisement{target(), (flags & 0x80) != 0, (flags & 0x40) != 0, (flags & 0x20) != 0};
            markLayout(icmp, neighborFields, s, e);
            icmp.options = Icmp6Option::getOptions(data.slice(s + 24, e), icmp.status, context);
            break;
        }
        case 137:
            if (incomplete(40)) return false;
            icmp.icmpType = Redirect{IPv6Address(readBytes<redirectFields, Field::target>(r)),
                                     IPv6Address(readBytes<redirectFields, Field::destination>(r))};
            markLayout(icmp, redirectFields, s, e);
            icmp.options = Icmp6Option::getOptions(data.slice(s + 40, e), icmp.status, context);
            break;
        default:
            icmp.icmpType = Other{icmp.type, icmp.code};
            break;
    }
    return r.ok();
}

void Icmp6::appendDescription(text::LineWriter& out) const { out << "ICMPv6 type " << icmpType; }

void Icmp6::appendVerboseDescription(text::LineWriter& out) const {
    out << "ICMPv6 type ";
    out.decimal(type) << " code ";
    out.decimal(code) << " checksum ";
    out.decimal(checksum) << ' ' << icmpType << " PayloadLength ";
    out.decimal(payloadLength) << ' ';
    out.decimal(options.size()) << " options";
    appendStatus(out, status);
}

}  // namespace ZuzizavAdiduDazorud
