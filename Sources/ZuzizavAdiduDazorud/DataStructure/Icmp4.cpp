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
// An echo's every field, the header's included: most ICMP messages are echoes.
constexpr auto echoFields =
    joinedLayout(icmpHeaderFields, icmpEchoFields, fieldLayout({{Field::payload, 8, toEnd}}));

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

namespace {

// One message's decoding, by family: each family's rule reads its fields and says whether the bytes
// were whole enough. The code rule comes before the length test: a short message with a code its type
// does not take still gives a record.
class Icmp4Decoding {
public:
    Icmp4Decoding(Icmp4& icmp, SliceReader& r, const DecodeContext& context)
        : icmp_(icmp), r_(r), context_(context), n_(r.count()), s_(icmp.data.startIndex()), e_(icmp.data.endIndex()) {}

    bool decode() {
        if ((icmp_.type == 0 || icmp_.type == 8) && icmp_.code == 0) return echo();
        markLayout(icmp_, icmpHeaderFields, s_, e_);
        switch (icmp_.type) {
            case 0:
            case 8: return fallBack();
            case 3: return unreachable();
            case 4: return sourceQuench();
            case 5: return redirect();
            case 11: return timeExceeded();
            case 12: return parameterProblem();
            case 13:
            case 14: return timestamp();
            case 15:
            case 16: return information();
            case 17:
            case 18: return addressMask();
            default: return fallBack();
        }
    }

private:
    bool tooShort(std::size_t minimum) const {
        if (n_ >= minimum) return false;
        logError([&] {
            return "incomplete ICMPv4 datagram detected type " + std::to_string(icmp_.type) + " code " +
                   std::to_string(icmp_.code) + " " + std::to_string(n_) + " bytes";
        });
        return true;
    }
    void payloadFrom(std::size_t offset, std::size_t end) {
        icmp_.payload.assignSlice(icmp_.data, s_ + offset, end);
        markField(icmp_, Field::payload, s_ + offset, end);
    }
    // Past the fixed fields, no payload.
    void emptyPayloadAt(std::size_t offset) { icmp_.payload.assignSlice(icmp_.data, s_ + offset, s_ + offset); }
    bool fallBack() {
        icmp_.icmpType = icmp4::Other{icmp_.type, icmp_.code};
        payloadFrom(4, e_);
        return r_.ok();
    }
    std::uint16_t identifier() { return readField<icmpEchoFields, Field::identifier>(r_); }
    std::uint16_t sequence() { return readField<icmpEchoFields, Field::sequence>(r_); }
    // Byte 5 counts the bytes of the quoted datagram.
    bool lengthRule() {
        icmp_.payloadLength = readField<quotedLengthFields, Field::payloadLength>(r_);
        markLayout(icmp_, quotedLengthFields, s_, e_);
        const auto length = static_cast<std::size_t>(icmp_.payloadLength);
        if (length != 0 && n_ < length + 8) markShort(icmp_.status, context_);
        payloadFrom(8, length != 0 && n_ >= length + 8 ? s_ + 8 + length : e_);
        return r_.ok();
    }

    // Marks the header too.
    bool echo() {
        if (tooShort(8)) return false;
        if (icmp_.type == 0) {
            icmp_.icmpType = icmp4::EchoReply{identifier(), sequence()};
        } else {
            icmp_.icmpType = icmp4::EchoRequest{identifier(), sequence()};
        }
        markLayout(icmp_, echoFields, s_, e_);
        icmp_.payload.assignSlice(icmp_.data, s_ + 8, e_);
        return r_.ok();
    }
    bool unreachable() {
        if (tooShort(8)) return false;
        if (icmp_.code < static_cast<std::int64_t>(std::size(unreachableByCode))) {
            icmp_.icmpType = unreachableByCode[icmp_.code];
        } else {
            icmp_.icmpType = icmp4::OtherUnreachable{icmp_.code};
        }
        return lengthRule();
    }
    bool sourceQuench() {
        if (icmp_.code != 0) return fallBack();
        if (tooShort(8)) return false;
        icmp_.icmpType = icmp4::SourceQuench{};
        payloadFrom(8, e_);
        return r_.ok();
    }
    bool redirect() {
        if (icmp_.code > 3) return fallBack();
        if (tooShort(8)) return false;
        const IPv4Address gateway(readBytes<redirectFields, Field::address>(r_));
        markLayout(icmp_, redirectFields, s_, e_);
        switch (icmp_.code) {
            case 0: icmp_.icmpType = icmp4::RedirectNetwork{gateway}; break;
            case 1: icmp_.icmpType = icmp4::RedirectHost{gateway}; break;
            case 2: icmp_.icmpType = icmp4::RedirectTosNetwork{gateway}; break;
            default: icmp_.icmpType = icmp4::RedirectTosHost{gateway}; break;
        }
        payloadFrom(8, e_);
        return r_.ok();
    }
    bool timeExceeded() {
        if (tooShort(8)) return false;
        if (icmp_.code == 0) {
            icmp_.icmpType = icmp4::TtlExceeded{};
        } else if (icmp_.code == 1) {
            icmp_.icmpType = icmp4::FragmentReassemblyTimeExceeded{};
        } else {
            logError([&] {
                return "invalid ICMPv4 datagram detected type " + std::to_string(icmp_.type) + " code " +
                       std::to_string(icmp_.code) + " " + std::to_string(n_) + " bytes";
            });
            icmp_.icmpType = icmp4::Other{icmp_.type, icmp_.code};
        }
        return lengthRule();
    }
    bool parameterProblem() {
        if (icmp_.code != 0) return fallBack();
        if (tooShort(8)) return false;
        icmp_.icmpType = icmp4::ParameterProblem{readField<problemFields, Field::pointer>(r_)};
        markLayout(icmp_, problemFields, s_, e_);
        return lengthRule();
    }
    bool timestamp() {
        if (icmp_.code != 0) return fallBack();
        if (tooShort(20)) return false;
        const auto originate = readField<timestampFields, Field::originate>(r_);
        const auto receive = readField<timestampFields, Field::receive>(r_);
        const auto transmit = readField<timestampFields, Field::transmit>(r_);
        if (icmp_.type == 13) {
            icmp_.icmpType = icmp4::TimestampRequest{identifier(), sequence(), originate, receive, transmit};
        } else {
            icmp_.icmpType = icmp4::TimestampReply{identifier(), sequence(), originate, receive, transmit};
        }
        markLayout(icmp_, icmpEchoFields, s_, e_);
        markLayout(icmp_, timestampFields, s_, e_);
        emptyPayloadAt(20);
        return r_.ok();
    }
    bool information() {
        if (icmp_.code != 0) return fallBack();
        if (tooShort(8)) return false;
        if (icmp_.type == 15) {
            icmp_.icmpType = icmp4::InformationRequest{identifier(), sequence()};
        } else {
            icmp_.icmpType = icmp4::InformationReply{identifier(), sequence()};
        }
        markLayout(icmp_, icmpEchoFields, s_, e_);
        emptyPayloadAt(8);
        return r_.ok();
    }
    bool addressMask() {
        if (icmp_.code != 0) return fallBack();
        if (tooShort(12)) return false;
        const IPv4Address mask(readBytes<maskFields, Field::mask>(r_));
        if (icmp_.type == 17) {
            icmp_.icmpType = icmp4::AddressMaskRequest{identifier(), sequence(), mask};
        } else {
            icmp_.icmpType = icmp4::AddressMaskReply{identifier(), sequence(), mask};
        }
        markLayout(icmp_, icmpEchoFields, s_, e_);
        markLayout(icmp_, maskFields, s_, e_);
        emptyPayloadAt(12);
        return r_.ok();
    }

    Icmp4& icmp_;
    SliceReader& r_;
    const DecodeContext& context_;
    const std::size_t n_, s_, e_;
};

}  // namespace

bool Icmp4::decodeInto(Icmp4& icmp, ByteSlice&& bytes, const DecodeContext& context) {
    icmp.data = std::move(bytes);
    SliceReader r(icmp.data);
    if (r.count() < 4) {
        logError([] { return "incomplete ICMPv4 datagram detected"; });
        return false;
    }
    icmp.type = readField<icmpHeaderFields, Field::type>(r);
    icmp.code = readField<icmpHeaderFields, Field::code>(r);
    icmp.checksum = readField<icmpHeaderFields, Field::checksum>(r);
    return Icmp4Decoding(icmp, r, context).decode();
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
