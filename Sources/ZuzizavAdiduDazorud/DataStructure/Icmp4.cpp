// ICMP for IPv4: RFC 792, with address masks from RFC 950. Source quench is deprecated by RFC 6633,
// information and address-mask messages by RFC 6918.
#include <ZuzizavAdiduDazorud/DataStructure/Icmp4.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Hashing.h>
#include <ZuzizavAdiduDazorud/Extensions/Overloaded.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

namespace {

using namespace icmp4;


// Destination unreachable (type 3) by code.
constexpr Icmp4Type unreachableByCode[] = {NetUnreachable{},     HostUnreachable{},     ProtocolUnreachable{},
                                           PortUnreachable{},    FragmentationNeeded{}, SourceRouteFailed{}};

// Fields after type, code and checksum, at offsets from the record's start.
constexpr auto redirectFields = fieldLayout({{Field::address, 4, 8}});
constexpr auto problemFields = fieldLayout({{Field::pointer, 4, 5}});
constexpr auto quotedLengthFields = fieldLayout({{Field::payloadLength, 5, 6}});
constexpr auto timestampFields = fieldLayout({
    {Field::originate, 8, 12},
    {Field::receive, 12, 16},
    {Field::transmit, 16, 20},
});
constexpr auto maskFields = fieldLayout({{Field::mask, 8, 12}});

void writeIdAndSequence(text::LineWriter& out, std::int64_t identifier, std::int64_t sequence) {
    out << "id ";
    out.decimal(identifier) << " sequence ";
    out.decimal(sequence);
}

template <typename Timestamp>
void writeTimestamp(text::LineWriter& out, const Timestamp& t) {
    writeIdAndSequence(out, t.identifier, t.sequence);
    out << " originate ";
    out.decimal(t.originate) << " receive ";
    out.decimal(t.receive) << " transmit ";
    out.decimal(t.transmit);
}

template <typename AddressMask>
void writeAddressMask(text::LineWriter& out, const AddressMask& m) {
    out << "DEPRECATED ";
    writeIdAndSequence(out, m.identifier, m.sequence);
    out << " mask " << m.mask;
}

}  // namespace

std::string_view Icmp4Type::name() const { return caseNameOf(*this); }

void Icmp4Type::appendDescription(text::LineWriter& out) const {
    out << name() << ' ';
    std::visit(Overloaded{
                   [&](const EchoReply& c) { writeIdAndSequence(out, c.identifier, c.sequence); },
                   [&](const EchoRequest& c) { writeIdAndSequence(out, c.identifer, c.sequence); },
                   [&](const AddressMaskRequest& c) { writeAddressMask(out, c); },
                   [&](const AddressMaskReply& c) { writeAddressMask(out, c); },
                   [&](const TimestampRequest& c) { writeTimestamp(out, c); },
                   [&](const TimestampReply& c) { writeTimestamp(out, c); },
                   [&](const OtherUnreachable& c) {
                       out << "Code ";
                       out.decimal(c.code);
                   },
                   [&](const ParameterProblem& c) {
                       out << "Pointer: ";
                       out.decimal(c.pointer);
                   },
                   [&](const RedirectNetwork& c) { out << c.gateway; },
                   [&](const RedirectHost& c) { out << c.gateway; },
                   [&](const RedirectTosNetwork& c) { out << c.gateway; },
                   [&](const RedirectTosHost& c) { out << c.gateway; },
                   [&](const InformationRequest& c) {
                       out << "DEPRECATED ";
                       writeIdAndSequence(out, c.identifier, c.sequence);
                   },
                   [&](const InformationReply& c) {
                       out << "DEPRECATED ";
                       writeIdAndSequence(out, c.identifier, c.sequence);
                   },
                   [&](const Other&) { out << "unable to further analyze"; },
                   [&](const SourceQuench&) { out << "DEPRECATED RFC 6633"; },
                   [](const NoArguments&) {},
               },
               static_cast<const variant&>(*this));
}

std::size_t hashValue(const Icmp4Type& type) { return hashOf(static_cast<const Icmp4Type::variant&>(type)); }

bool Icmp4::decodeInto(Icmp4& icmp, ByteSlice bytes, const DecodeContext& context) {
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
    icmp.type = readField<icmpHeaderFields, Field::type>(r);
    icmp.code = readField<icmpHeaderFields, Field::code>(r);
    icmp.checksum = readField<icmpHeaderFields, Field::checksum>(r);
    markLayout(icmp, icmpHeaderFields, s, e);

    auto tooShort = [&](std::size_t minimum) {
        if (n >= minimum) return false;
        logError([&] {
            return "incomplete ICMPv4 datagram detected type " + std::to_string(icmp.type) + " code " +
                   std::to_string(icmp.code) + " " + std::to_string(n) + " bytes";
        });
        return true;
    };
    auto payloadFrom = [&](std::size_t offset, std::size_t end) {
        icmp.payload = data.slice(s + offset, end);
        markField(icmp, Field::payload, s + offset, end);
    };
    auto fallBack = [&] {
        icmp.icmpType = Other{icmp.type, icmp.code};
        payloadFrom(4, e);
    };
    auto identifier = [&] { return readField<icmpEchoFields, Field::identifier>(r); };
    auto sequence = [&] { return readField<icmpEchoFields, Field::sequence>(r); };
    // Byte 5 counts the bytes of the quoted datagram.
    auto lengthRule = [&] {
        icmp.payloadLength = readField<quotedLengthFields, Field::payloadLength>(r);
        markLayout(icmp, quotedLengthFields, s, e);
        const auto length = static_cast<std::size_t>(icmp.payloadLength);
        if (length != 0 && n < length + 8) markShort(icmp.status, context);
        payloadFrom(8, length != 0 && n >= length + 8 ? s + 8 + length : e);
    };

    // The code rule comes before the length test: a short message with a code its type does not
    // take still gives a record.
    switch (icmp.type) {
        case 0:
        case 8:
            if (icmp.code != 0) return fallBack(), r.ok();
            if (tooShort(8)) return false;
            if (icmp.type == 0) {
                icmp.icmpType = EchoReply{identifier(), sequence()};
            } else {
                icmp.icmpType = EchoRequest{identifier(), sequence()};
            }
            markLayout(icmp, icmpEchoFields, s, e);
            payloadFrom(8, e);
            break;
        case 3:
            if (tooShort(8)) return false;
            if (icmp.code < static_cast<std::int64_t>(std::size(unreachableByCode))) {
                icmp.icmpType = unreachableByCode[icmp.code];
            } else {
                icmp.icmpType = OtherUnreachable{icmp.code};
            }
            lengthRule();
            break;
        case 4:
            if (icmp.code != 0) return fallBack(), r.ok();
            if (tooShort(8)) return false;
            icmp.icmpType = SourceQuench{};
            payloadFrom(8, e);
            break;
        case 5: {
            if (icmp.code > 3) return fallBack(), r.ok();
            if (tooShort(8)) return false;
            const IPv4Address gateway(readBytes<redirectFields, Field::address>(r));
            markLayout(icmp, redirectFields, s, e);
            switch (icmp.code) {
                case 0: icmp.icmpType = RedirectNetwork{gateway}; break;
                case 1: icmp.icmpType = RedirectHost{gateway}; break;
                case 2: icmp.icmpType = RedirectTosNetwork{gateway}; break;
                default: icmp.icmpType = RedirectTosHost{gateway}; break;
            }
            payloadFrom(8, e);
            break;
        }
        case 11:
            if (tooShort(8)) return false;
            if (icmp.code == 0) {
                icmp.icmpType = TtlExceeded{};
            } else if (icmp.code == 1) {
                icmp.icmpType = FragmentReassemblyTimeExceeded{};
            } else {
                logError([&] {
                    return "invalid ICMPv4 datagram detected type " + std::to_string(icmp.type) + " code " +
                           std::to_string(icmp.code) + " " + std::to_string(n) + " bytes";
                });
                icmp.icmpType = Other{icmp.type, icmp.code};
            }
            lengthRule();
            break;
        case 12:
            if (icmp.code != 0) return fallBack(), r.ok();
            if (tooShort(8)) return false;
            icmp.icmpType = ParameterProblem{readField<problemFields, Field::pointer>(r)};
            markLayout(icmp, problemFields, s, e);
            lengthRule();
            break;
        case 13:
        case 14: {
            if (icmp.code != 0) return fallBack(), r.ok();
            if (tooShort(20)) return false;
            const auto originate = readField<timestampFields, Field::originate>(r);
            const auto receive = readField<timestampFields, Field::receive>(r);
            const auto transmit = readField<timestampFields, Field::transmit>(r);
            if (icmp.type == 13) {
                icmp.icmpType = TimestampRequest{identifier(), sequence(), originate, receive, transmit};
            } else {
                icmp.icmpType = TimestampReply{identifier(), sequence(), originate, receive, transmit};
            }
            markLayout(icmp, icmpEchoFields, s, e);
            markLayout(icmp, timestampFields, s, e);
            icmp.payload = data.slice(s + 20, s + 20);
            break;
        }
        case 15:
        case 16:
            if (icmp.code != 0) return fallBack(), r.ok();
            if (tooShort(8)) return false;
            if (icmp.type == 15) {
                icmp.icmpType = InformationRequest{identifier(), sequence()};
            } else {
                icmp.icmpType = InformationReply{identifier(), sequence()};
            }
            markLayout(icmp, icmpEchoFields, s, e);
            icmp.payload = data.slice(s + 8, s + 8);
            break;
        case 17:
        case 18: {
            if (icmp.code != 0) return fallBack(), r.ok();
            if (tooShort(12)) return false;
            const IPv4Address mask(readBytes<maskFields, Field::mask>(r));
            if (icmp.type == 17) {
                icmp.icmpType = AddressMaskRequest{identifier(), sequence(), mask};
            } else {
                icmp.icmpType = AddressMaskReply{identifier(), sequence(), mask};
            }
            markLayout(icmp, icmpEchoFields, s, e);
            markLayout(icmp, maskFields, s, e);
            icmp.payload = data.slice(s + 12, s + 12);
            break;
        }
        default: fallBack(); break;
    }
    return r.ok();
}

void Icmp4::appendDescription(text::LineWriter& out) const { out << "ICMPv4 " << icmpType; }

void Icmp4::appendVerboseDescription(text::LineWriter& out) const {
    out << "ICMPv4 type ";
    out.decimal(type) << " code ";
    out.decimal(code) << " checksum ";
    out.decimal(checksum) << ' ' << icmpType << " PayloadLength ";
    out.decimal(payloadLength);
    appendStatus(out, status);
}

}  // namespace ZuzizavAdiduDazorud
