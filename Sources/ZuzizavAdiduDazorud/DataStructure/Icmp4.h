#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ZuzizavAdiduDazorud {

// The kind of an ICMPv4 message with its arguments.
class Icmp4Type {
public:
    enum class Case : std::uint8_t {
        echoReply, echoRequest, addressMaskRequest, addressMaskReply, timestampRequest, timestampReply,
        otherUnreachable, parameterProblem, redirectNetwork, redirectHost, redirectTosNetwork, redirectTosHost,
        informationRequest, informationReply, other, netUnreachable, hostUnreachable, portUnreachable,
        protocolUnreachable, fragmentationNeeded, sourceRouteFailed, ttlExceeded, fragmentReassemblyTimeExceeded,
        sourceQuench,
    };

    static Icmp4Type echoReply(std::int64_t identifier, std::int64_t sequence);
    static Icmp4Type echoRequest(std::int64_t identifer, std::int64_t sequence);
    static Icmp4Type addressMaskRequest(std::int64_t identifier, std::int64_t sequence, IPv4Address mask);
    static Icmp4Type addressMaskReply(std::int64_t identifier, std::int64_t sequence, IPv4Address mask);
    static Icmp4Type timestampRequest(std::int64_t identifier, std::int64_t sequence, std::uint32_t originate,
                                      std::uint32_t receive, std::uint32_t transmit);
    static Icmp4Type timestampReply(std::int64_t identifier, std::int64_t sequence, std::uint32_t originate,
                                    std::uint32_t receive, std::uint32_t transmit);
    static Icmp4Type otherUnreachable(std::int64_t code);
    static Icmp4Type parameterProblem(std::int64_t pointer);
    static Icmp4Type redirectNetwork(IPv4Address gateway);
    static Icmp4Type redirectHost(IPv4Address gateway);
    static Icmp4Type redirectTosNetwork(IPv4Address gateway);
    static Icmp4Type redirectTosHost(IPv4Address gateway);
    static Icmp4Type informationRequest(std::int64_t identifier, std::int64_t sequence);
    static Icmp4Type informationReply(std::int64_t identifier, std::int64_t sequence);
    static Icmp4Type other(std::int64_t type, std::int64_t code);
    // The kinds without arguments.
    static Icmp4Type plain(Case kind);

    Case kind() const { return kind_; }
    std::int64_t identifier() const { return first_; }
    std::int64_t identifer() const { return first_; }  // the echo request's label
    std::int64_t sequence() const { return second_; }
    std::int64_t type() const { return first_; }      // other
    std::int64_t code() const { return kind_ == Case::other ? second_ : first_; }
    std::int64_t pointer() const { return first_; }   // parameterProblem
    const IPv4Address& mask() const { return address_; }
    const IPv4Address& gateway() const { return address_; }
    std::uint32_t originate() const { return originate_; }
    std::uint32_t receive() const { return receive_; }
    std::uint32_t transmit() const { return transmit_; }

    std::string name() const;
    std::string detail() const;
    // Name, a blank, and the detail.
    std::string description() const { return name() + " " + detail(); }

    friend bool operator==(const Icmp4Type&, const Icmp4Type&) = default;
    std::size_t hashValue() const;

private:
    explicit Icmp4Type(Case kind) : kind_(kind) {}

    Case kind_;
    std::int64_t first_ = 0;
    std::int64_t second_ = 0;
    IPv4Address address_;
    std::uint32_t originate_ = 0;
    std::uint32_t receive_ = 0;
    std::uint32_t transmit_ = 0;
};

// An ICMP message carried in IPv4.
struct Icmp4 {
    ByteSlice data;
    ByteSlice payload;
    std::int64_t payloadLength = 0;
    std::int64_t type = 0;
    std::int64_t code = 0;
    std::uint16_t checksum = 0;
    Icmp4Type icmpType = Icmp4Type::other(0, 0);
    FieldIndex startIndex;
    FieldIndex endIndex;

    // User-provided, so that emplacing a record runs the member initializers without zero-filling
    // the whole record first.
    Icmp4() {}

    static std::optional<Icmp4> decode(ByteSlice data);
    // Decodes into a default-constructed record, so a caller can decode in place. `data` takes the
    // bytes either way; false when they are not one (the other fields are then left half-filled).
    static bool decodeInto(Icmp4& record, ByteSlice bytes);

    std::string description() const;
    std::string verboseDescription() const;
    std::string hexdump() const { return data.hexdump(); }
};

}  // namespace ZuzizavAdiduDazorud

template <>
struct std::hash<ZuzizavAdiduDazorud::Icmp4Type> {
    std::size_t operator()(const ZuzizavAdiduDazorud::Icmp4Type& value) const { return value.hashValue(); }
};
