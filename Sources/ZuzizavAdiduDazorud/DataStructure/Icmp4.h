#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Record.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>
#include <ZuzizavAdiduDazorud/DataStructure/MessageKind.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace ZuzizavAdiduDazorud {

// The cases of an ICMPv4 message kind, with their arguments.
namespace icmp4 {

struct EchoReply {
    static constexpr std::string_view name = "Echo Reply";
    std::int64_t identifier = 0, sequence = 0;
    bool operator==(const EchoReply&) const = default;
};
struct EchoRequest {
    static constexpr std::string_view name = "Echo Request";
    std::int64_t identifer = 0;  // so named
    std::int64_t sequence = 0;
    bool operator==(const EchoRequest&) const = default;
};
struct AddressMaskRequest {
    static constexpr std::string_view name = "Address Mask Request";
    std::int64_t identifier = 0, sequence = 0;
    IPv4Address mask;
    bool operator==(const AddressMaskRequest&) const = default;
};
struct AddressMaskReply {
    static constexpr std::string_view name = "Address Mask Reply";
    std::int64_t identifier = 0, sequence = 0;
    IPv4Address mask;
    bool operator==(const AddressMaskReply&) const = default;
};
struct TimestampRequest {
    static constexpr std::string_view name = "Timestamp Request";
    std::int64_t identifier = 0, sequence = 0;
    std::uint32_t originate = 0, receive = 0, transmit = 0;
    bool operator==(const TimestampRequest&) const = default;
};
struct TimestampReply {
    static constexpr std::string_view name = "Timestamp Reply";
    std::int64_t identifier = 0, sequence = 0;
    std::uint32_t originate = 0, receive = 0, transmit = 0;
    bool operator==(const TimestampReply&) const = default;
};
struct OtherUnreachable {
    static constexpr std::string_view name = "Unreachable";
    std::int64_t code = 0;
    bool operator==(const OtherUnreachable&) const = default;
};
struct ParameterProblem {
    static constexpr std::string_view name = "Parameter Problem";
    std::int64_t pointer = 0;
    bool operator==(const ParameterProblem&) const = default;
};
struct RedirectNetwork {
    static constexpr std::string_view name = "Redirect Network";
    IPv4Address gateway;
    bool operator==(const RedirectNetwork&) const = default;
};
struct RedirectHost {
    static constexpr std::string_view name = "Redirect Host";
    IPv4Address gateway;
    bool operator==(const RedirectHost&) const = default;
};
struct RedirectTosNetwork {
    static constexpr std::string_view name = "Redirect Type of Service Network";
    IPv4Address gateway;
    bool operator==(const RedirectTosNetwork&) const = default;
};
struct RedirectTosHost {
    static constexpr std::string_view name = "Redirect Type of Service Host";
    IPv4Address gateway;
    bool operator==(const RedirectTosHost&) const = default;
};
struct InformationRequest {
    static constexpr std::string_view name = "Information Request";
    std::int64_t identifier = 0, sequence = 0;
    bool operator==(const InformationRequest&) const = default;
};
struct InformationReply {
    static constexpr std::string_view name = "Information Reply";
    std::int64_t identifier = 0, sequence = 0;
    bool operator==(const InformationReply&) const = default;
};
struct Other {
    static constexpr std::string_view name = "Other";
    std::int64_t type = 0, code = 0;
    bool operator==(const Other&) const = default;
};
struct NetUnreachable : NoArguments {
    static constexpr std::string_view name = "Net Unreachable";
};
struct HostUnreachable : NoArguments {
    static constexpr std::string_view name = "Host Unreachable";
};
struct PortUnreachable : NoArguments {
    static constexpr std::string_view name = "Port Unreachable";
};
struct ProtocolUnreachable : NoArguments {
    static constexpr std::string_view name = "Protocol Unreachable";
};
struct FragmentationNeeded : NoArguments {
    static constexpr std::string_view name = "Fragmentation Needed But DF Bit Set";
};
struct SourceRouteFailed : NoArguments {
    static constexpr std::string_view name = "Source Route Failed";
};
struct TtlExceeded : NoArguments {
    static constexpr std::string_view name = "TTL Exceeded";
};
struct FragmentReassemblyTimeExceeded : NoArguments {
    static constexpr std::string_view name = "Fragment Rassembly Time Exceeded";
};
struct SourceQuench : NoArguments {
    static constexpr std::string_view name = "Source Quench";
};

}  // namespace icmp4

// The kind of an ICMPv4 message with its arguments.
struct Icmp4Type
    : std::variant<icmp4::EchoReply, icmp4::EchoRequest, icmp4::AddressMaskRequest, icmp4::AddressMaskReply,
                   icmp4::TimestampRequest, icmp4::TimestampReply, icmp4::OtherUnreachable, icmp4::ParameterProblem,
                   icmp4::RedirectNetwork, icmp4::RedirectHost, icmp4::RedirectTosNetwork, icmp4::RedirectTosHost,
                   icmp4::InformationRequest, icmp4::InformationReply, icmp4::Other, icmp4::NetUnreachable,
                   icmp4::HostUnreachable, icmp4::PortUnreachable, icmp4::ProtocolUnreachable,
                   icmp4::FragmentationNeeded, icmp4::SourceRouteFailed, icmp4::TtlExceeded,
                   icmp4::FragmentReassemblyTimeExceeded, icmp4::SourceQuench> {
    using variant::variant;

    // "Echo Reply", ...
    std::string_view name() const;
    // Name, a blank, and the case's detail ("id 1 sequence 2"; empty for most cases without arguments).
    std::string description() const { return text::describe(*this); }
    void appendDescription(text::LineWriter& out) const;
};

std::size_t hashValue(const Icmp4Type& type);

// An ICMP message carried in IPv4.
struct Icmp4 : Record<Icmp4> {
    static constexpr std::array carriedBy{IpKey{IpFamily::v4, ipProtocols::icmp}};
    static constexpr bool oneIpFamily = true;  // an IPv4 protocol

    ByteSlice payload;
    std::int64_t payloadLength = 0;
    std::int64_t type = 0;
    std::int64_t code = 0;
    std::uint16_t checksum = 0;
    Icmp4Type icmpType = icmp4::Other{};

    Icmp4() {}
    void reuse() {  // decodeInto sets every other field, the message's case and payload included
        clearRecord();
        payloadLength = 0;
    }

    static bool decodeInto(Icmp4& record, ByteSlice&& bytes, const DecodeContext& context = {});

    void appendDescription(text::LineWriter& out) const;
    void appendVerboseDescription(text::LineWriter& out) const;
};

}  // namespace ZuzizavAdiduDazorud

template <>
struct std::hash<ZuzizavAdiduDazorud::Icmp4Type> {
    std::size_t operator()(const ZuzizavAdiduDazorud::Icmp4Type& value) const {
        return ZuzizavAdiduDazorud::hashValue(value);
    }
};
