#include <ZuzizavAdiduDazorud/DataStructure/Icmp4.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Hashing.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

namespace {
std::string idAndSequence(const Icmp4Type& t) {
    return "id " + std::to_string(t.identifier()) + " sequence " + std::to_string(t.sequence());
}
}  // namespace

Icmp4Type Icmp4Type::echoReply(std::int64_t identifier, std::int64_t sequence) {
    Icmp4Type t(Case::echoReply);
    t.first_ = identifier;
    t.second_ = sequence;
    return t;
}

Icmp4Type Icmp4Type::echoRequest(std::int64_t identifer, std::int64_t sequence) {
    Icmp4Type t(Case::echoRequest);
    t.first_ = identifer;
    t.second_ = sequence;
    return t;
}

Icmp4Type Icmp4Type::addressMaskRequest(std::int64_t identifier, std::int64_t sequence, IPv4Address mask) {
    Icmp4Type t = echoReply(identifier, sequence);
    t.kind_ = Case::addressMaskRequest;
    t.address_ = mask;
    return t;
}

Icmp4Type Icmp4Type::addressMaskReply(std::int64_t identifier, std::int64_t sequence, IPv4Address mask) {
    Icmp4Type t = addressMaskRequest(identifier, sequence, mask);
    t.kind_ = Case::addressMaskReply;
    return t;
}

Icmp4Type Icmp4Type::timestampRequest(std::int64_t identifier, std::int64_t sequence, std::uint32_t originate,
                                      std::uint32_t receive, std::uint32_t transmit) {
    Icmp4Type t = echoReply(identifier, sequence);
    t.kind_ = Case::timestampRequest;
    t.originate_ = originate;
    t.receive_ = receive;
    t.transmit_ = transmit;
    return t;
}

Icmp4Type Icmp4Type::timestampReply(std::int64_t identifier, std::int64_t sequence, std::uint32_t originate,
                                    std::uint32_t receive, std::uint32_t transmit) {
    Icmp4Type t = timestampRequest(identifier, sequence, originate, receive, transmit);
    t.kind_ = Case::timestampReply;
    return t;
}

Icmp4Type Icmp4Type::otherUnreachable(std::int64_t code) {
    Icmp4Type t(Case::otherUnreachable);
    t.first_ = code;
    return t;
}

Icmp4Type Icmp4Type::parameterProblem(std::int64_t pointer) {
    Icmp4Type t(Case::parameterProblem);
    t.first_ = pointer;
    return t;
}

#define ICMP4_REDIRECT(name)                            \
    Icmp4Type Icmp4Type::name(IPv4Address gateway) {    \
        Icmp4Type t(Case::name);                        \
        t.address_ = gateway;                           \
        return t;                                       \
    }
ICMP4_REDIRECT(redirectNetwork)
ICMP4_REDIRECT(redirectHost)
ICMP4_REDIRECT(redirectTosNetwork)
ICMP4_REDIRECT(redirectTosHost)
#undef ICMP4_REDIRECT

Icmp4Type Icmp4Type::informationRequest(std::int64_t identifier, std::int64_t sequence) {
    Icmp4Type t = echoReply(identifier, sequence);
    t.kind_ = Case::informationRequest;
    return t;
}

Icmp4Type Icmp4Type::informationReply(std::int64_t identifier, std::int64_t sequence) {
    Icmp4Type t = echoReply(identifier, sequence);
    t.kind_ = Case::informationReply;
    return t;
}

Icmp4Type Icmp4Type::other(std::int64_t type, std::int64_t code) {
    Icmp4Type t(Case::other);
    t.first_ = type;
    t.second_ = code;
    return t;
}

Icmp4Type Icmp4Type::plain(Case kind) { return Icmp4Type(kind); }

std::string Icmp4Type::name() const {
    switch (kind_) {
        case Case::echoReply: return "Echo Reply";
        case Case::echoRequest: return "Echo Request";
        case Case::addressMaskRequest: return "Address Mask Request";
        case Case::addressMaskReply: return "Address Mask Reply";
        case Case::timestampRequest: return "Timestamp Request";
        case Case::timestampReply: return "Timestamp Reply";
        case Case::otherUnreachable: return "Unreachable";
        case Case::parameterProblem: return "Parameter Problem";
        case Case::redirectNetwork: return "Redirect Network";
        case Case::redirectHost: return "Redirect Host";
        case Case::redirectTosNetwork: return "Redirect Type of Service Network";
        case Case::redirectTosHost: return "Redirect Type of Service Host";
        case Case::informationRequest: return "Information Request";
        case Case::informationReply: return "Information Reply";
        case Case::other: return "Other";
        case Case::netUnreachable: return "Net Unreachable";
        case Case::hostUnreachable: return "Host Unreachable";
        case Case::portUnreachable: return "Port Unreachable";
        case Case::protocolUnreachable: return "Protocol Unreachable";
        case Case::fragmentationNeeded: return "Fragmentation Needed But DF Bit Set";
        case Case::sourceRouteFailed: return "Source Route Failed";
        case Case::ttlExceeded: return "TTL Exceeded";
        case Case::fragmentReassemblyTimeExceeded: return "Fragment Rassembly Time Exceeded";
        case Case::sourceQuench: return "Source Quench";
    }
    return "Other";
}

std::string Icmp4Type::detail() const {
    switch (kind_) {
        case Case::echoReply:
        case Case::echoRequest: return idAndSequence(*this);
        case Case::addressMaskRequest:
        case Case::addressMaskReply: return "DEPRECATED " + idAndSequence(*this) + " mask " + address_.description();
        case Case::timestampRequest:
        case Case::timestampReply:
            return idAndSequence(*this) + " originate " + std::to_string(originate_) + " receive " +
                   std::to_string(receive_) + " transmit " + std::to_string(transmit_);
        case Case::otherUnreachable: return "Code " + std::to_string(first_);
        case Case::parameterProblem: return "Pointer: " + std::to_string(first_);
        case Case::redirectNetwork:
        case Case::redirectHost:
        case Case::redirectTosNetwork:
        case Case::redirectTosHost: return address_.description();
        case Case::informationRequest:
        case Case::informationReply: return "DEPRECATED " + idAndSequence(*this);
        case Case::other: return "unable to further analyze";
        case Case::sourceQuench: return "DEPRECATED RFC 6633";
        default: return "";
    }
}

std::size_t Icmp4Type::hashValue() const {
    std::size_t seed = static_cast<std::size_t>(kind_);
    hashCombine(seed, first_);
    hashCombine(seed, second_);
    hashCombine(seed, address_.description());
    hashCombine(seed, originate_);
    hashCombine(seed, receive_);
    hashCombine(seed, transmit_);
    return seed;
}

bool Icmp4::decodeInto(Icmp4& icmp, ByteSlice bytes) {
    icmp.data = std::move(bytes);
    const ByteSlice& data = icmp.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    if (n < 4) {
        logError([] { return "incomplete ICMPv4 datagram detected"; });
        return false;
    }
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();
    icmp.type = r.u8(0);
    icmp.code = r.u8(1);
    icmp.checksum = r.u16(2);
    markLayout(icmp, icmpHeaderFields, s, e);

    auto tooShort = [&](std::size_t minimum) {
        if (n >= minimum) return false;
        logError([&] {
            return "incomplete ICMPv4 datagram detected type " + std::to_string(icmp.type) + " code " +
                   std::to_string(icmp.code) + " " + std::to_string(n) + " bytes";
        });
        return true;
    };
    auto fallBack = [&] {
        icmp.icmpType = Icmp4Type::other(icmp.type, icmp.code);
        icmp.payload = data.slice(s + 4, e);
        markField(icmp, Field::payload, s + 4, e);
    };
    auto payloadFrom8 = [&] {
        icmp.payload = data.slice(s + 8, e);
        markField(icmp, Field::payload, s + 8, e);
    };
    auto identifierAndSequence = [&] {
        markLayout(icmp, icmpEchoFields, s, e);
        return std::pair<std::int64_t, std::int64_t>(r.u16(4), r.u16(6));
    };
    // Byte 5 counts the bytes of the quoted datagram.
    auto lengthRule = [&] {
        icmp.payloadLength = r.u8(5);
        markField(icmp, Field::payloadLength, s + 5, s + 6);
        const auto length = static_cast<std::size_t>(icmp.payloadLength);
        const std::size_t end = length != 0 && n >= length + 8 ? s + 8 + length : e;
        icmp.payload = data.slice(s + 8, end);
        markField(icmp, Field::payload, s + 8, end);
    };
    auto gateway = [&] {
        markField(icmp, Field::address, s + 4, s + 8);
        return IPv4Address::fromBytes(data.slice(s + 4, s + 8)).value_or(IPv4Address());
    };
    auto mark = [&](Field field, std::size_t from, std::size_t to) { markField(icmp, field, s + from, s + to); };

    using Case = Icmp4Type::Case;
    switch (icmp.type) {
        case 0:
        case 8: {
            if (icmp.code != 0) {
                fallBack();
                break;
            }
            if (tooShort(8)) return false;
            auto [id, sequence] = identifierAndSequence();
            icmp.icmpType = icmp.type == 0 ? Icmp4Type::echoReply(id, sequence) : Icmp4Type::echoRequest(id, sequence);
            payloadFrom8();
            break;
        }
        case 3: {
            if (tooShort(8)) return false;
            static constexpr Case byCode[] = {Case::netUnreachable,      Case::hostUnreachable,
                                              Case::protocolUnreachable, Case::portUnreachable,
                                              Case::fragmentationNeeded, Case::sourceRouteFailed};
            icmp.icmpType = icmp.code <= 5 ? Icmp4Type::plain(byCode[icmp.code]) : Icmp4Type::otherUnreachable(icmp.code);
            lengthRule();
            break;
        }
        case 4:
            if (icmp.code != 0) {
                fallBack();
                break;
            }
            if (tooShort(8)) return false;
            icmp.icmpType = Icmp4Type::plain(Case::sourceQuench);
            payloadFrom8();
            break;
        case 5: {
            if (icmp.code > 3) {
                fallBack();
                break;
            }
            if (tooShort(8)) return false;
            const IPv4Address address = gateway();
            switch (icmp.code) {
                case 0: icmp.icmpType = Icmp4Type::redirectNetwork(address); break;
                case 1: icmp.icmpType = Icmp4Type::redirectHost(address); break;
                case 2: icmp.icmpType = Icmp4Type::redirectTosNetwork(address); break;
                default: icmp.icmpType = Icmp4Type::redirectTosHost(address); break;
            }
            payloadFrom8();
            break;
        }
        case 11:
            if (tooShort(8)) return false;
            if (icmp.code == 0) {
                icmp.icmpType = Icmp4Type::plain(Case::ttlExceeded);
            } else if (icmp.code == 1) {
                icmp.icmpType = Icmp4Type::plain(Case::fragmentReassemblyTimeExceeded);
            } else {
                logError([&] {
                    return "invalid ICMPv4 datagram detected type " + std::to_string(icmp.type) + " code " +
                           std::to_string(icmp.code) + " " + std::to_string(n) + " bytes";
                });
                icmp.icmpType = Icmp4Type::other(icmp.type, icmp.code);
            }
            lengthRule();
            break;
        case 12:
            if (icmp.code != 0) {
                fallBack();
                break;
            }
            if (tooShort(8)) return false;
            icmp.icmpType = Icmp4Type::parameterProblem(r.u8(4));
            mark(Field::pointer, 4, 5);
            lengthRule();
            break;
        case 13:
        case 14: {
            if (icmp.code != 0) {
                fallBack();
                break;
            }
            if (tooShort(20)) return false;
            auto [id, sequence] = identifierAndSequence();
            const std::uint32_t originate = r.u32(8), receive = r.u32(12), transmit = r.u32(16);
            mark(Field::originate, 8, 12);
            mark(Field::receive, 12, 16);
            mark(Field::transmit, 16, 20);
            icmp.icmpType = icmp.type == 13 ? Icmp4Type::timestampRequest(id, sequence, originate, receive, transmit)
                                            : Icmp4Type::timestampReply(id, sequence, originate, receive, transmit);
            icmp.payload = data.slice(s + 20, s + 20);
            break;
        }
        case 15:
        case 16: {
            if (icmp.code != 0) {
                fallBack();
                break;
            }
            if (tooShort(8)) return false;
            auto [id, sequence] = identifierAndSequence();
            icmp.icmpType = icmp.type == 15 ? Icmp4Type::informationRequest(id, sequence)
                                            : Icmp4Type::informationReply(id, sequence);
            icmp.payload = data.slice(s + 8, s + 8);
            break;
        }
        case 17:
        case 18: {
            if (icmp.code != 0) {
                fallBack();
                break;
            }
            if (tooShort(12)) return false;
            auto [id, sequence] = identifierAndSequence();
            const IPv4Address mask = IPv4Address::fromBytes(data.slice(s + 8, s + 12)).value_or(IPv4Address());
            mark(Field::mask, 8, 12);
            icmp.icmpType = icmp.type == 17 ? Icmp4Type::addressMaskRequest(id, sequence, mask)
                                            : Icmp4Type::addressMaskReply(id, sequence, mask);
            icmp.payload = data.slice(s + 12, s + 12);
            break;
        }
        default: fallBack(); break;
    }
    return r.ok();
}

std::optional<Icmp4> Icmp4::decode(ByteSlice data) { return decodeRecord<Icmp4>(std::move(data)); }

std::string Icmp4::description() const { return "ICMPv4 " + icmpType.description(); }

std::string Icmp4::verboseDescription() const {
    return "ICMPv4 type " + std::to_string(type) + " code " + std::to_string(code) + " checksum " +
           std::to_string(checksum) + " " + icmpType.description() + " PayloadLength " + std::to_string(payloadLength);
}

}  // namespace ZuzizavAdiduDazorud
