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
#include <vector>

namespace ZuzizavAdiduDazorud {

// The cases of an ICMPv6 message kind, with their arguments.
namespace icmp6 {

struct Other {
    static constexpr std::string_view name = "Other";
    std::int64_t type = 0, code = 0;
    bool operator==(const Other&) const = default;
};
struct ParameterProblem {
    static constexpr std::string_view name = "Parameter Problem";
    std::int64_t code = 0, pointer = 0;
    bool operator==(const ParameterProblem&) const = default;
};
struct EchoRequest {
    static constexpr std::string_view name = "Echo Request";
    std::int64_t identifier = 0, sequence = 0;
    bool operator==(const EchoRequest&) const = default;
};
struct EchoReply {
    static constexpr std::string_view name = "Echo Reply";
    std::int64_t identifier = 0, sequence = 0;
    bool operator==(const EchoReply&) const = default;
};
struct NeighborSolicitation {
    static constexpr std::string_view name = "Neighbor Solicitation";
    IPv6Address target;
    bool operator==(const NeighborSolicitation&) const = default;
};
struct NeighborAdvertisement {
    static constexpr std::string_view name = "Neighbor Advertisement";
    IPv6Address target;
    bool router = false, solicited = false, override = false;
    bool operator==(const NeighborAdvertisement&) const = default;
};
struct Redirect {
    static constexpr std::string_view name = "Redirect";
    IPv6Address target, destination;
    bool operator==(const Redirect&) const = default;
};
struct UnreachableNoRoute : NoArguments {
    static constexpr std::string_view name = "Unreachable No Route";
};
struct UnreachableProhibited : NoArguments {
    static constexpr std::string_view name = "Unreachable Admin Prohibited";
};
struct UnreachableScope : NoArguments {
    static constexpr std::string_view name = "Unreachable Scope";
};
struct UnreachableAddress : NoArguments {
    static constexpr std::string_view name = "Unreachable Address";
};
struct UnreachablePort : NoArguments {
    static constexpr std::string_view name = "Unreachable Port";
};
struct UnreachableSource : NoArguments {
    static constexpr std::string_view name = "Unreachable Source Rejected";
};
struct UnreachableRejectRoute : NoArguments {
    static constexpr std::string_view name = "Unreachable Route Rejected";
};
struct PacketTooBig : NoArguments {
    static constexpr std::string_view name = "Packet Too Big";
};
struct HopLimitExceeded : NoArguments {
    static constexpr std::string_view name = "Hop Limit Exceeded";
};
struct FragmentReassemblyTimeExceeded : NoArguments {
    static constexpr std::string_view name = "Fragment Reassembly Time Exceeded";
};
// Multicast listener discovery (RFC 2710): the maximum response delay in milliseconds and the
// multicast address.
struct MulticastListenerQuery {
    static constexpr std::string_view name = "Multicast Listener Query";
    std::int64_t maxResponseDelay = 0;
    IPv6Address address;
    bool operator==(const MulticastListenerQuery&) const = default;
};
struct MulticastListenerReport {
    static constexpr std::string_view name = "Multicast Listener Report";
    std::int64_t maxResponseDelay = 0;
    IPv6Address address;
    bool operator==(const MulticastListenerReport&) const = default;
};
struct MulticastListenerDone {
    static constexpr std::string_view name = "Multicast Listener Done";
    std::int64_t maxResponseDelay = 0;
    IPv6Address address;
    bool operator==(const MulticastListenerDone&) const = default;
};
// An MLDv2 report (RFC 3810) with its number of multicast address records.
struct MulticastListenerReportV2 {
    static constexpr std::string_view name = "Multicast Listener Report V2";
    std::int64_t records = 0;
    bool operator==(const MulticastListenerReportV2&) const = default;
};

}  // namespace icmp6

// The kind of an ICMPv6 message with its arguments.
struct Icmp6Type
    : std::variant<icmp6::Other, icmp6::ParameterProblem, icmp6::EchoRequest, icmp6::EchoReply,
                   icmp6::NeighborSolicitation, icmp6::NeighborAdvertisement, icmp6::Redirect,
                   icmp6::UnreachableNoRoute, icmp6::UnreachableProhibited, icmp6::UnreachableScope,
                   icmp6::UnreachableAddress, icmp6::UnreachablePort, icmp6::UnreachableSource,
                   icmp6::UnreachableRejectRoute, icmp6::PacketTooBig, icmp6::HopLimitExceeded,
                   icmp6::FragmentReassemblyTimeExceeded, icmp6::MulticastListenerQuery,
                   icmp6::MulticastListenerReport, icmp6::MulticastListenerDone, icmp6::MulticastListenerReportV2> {
    using variant::variant;

    // "Echo Request", ...
    std::string_view name() const;
    // Name, a blank, and the case's detail (empty for the cases without arguments).
    std::string description() const { return text::describe(*this); }
    void appendDescription(text::LineWriter& out) const;
};

// The cases of a neighbour-discovery option's kind, with their values.
namespace icmp6option {

struct SourceLinkAddress {
    std::string address;  // aa:bb:cc:dd:ee:ff
    bool operator==(const SourceLinkAddress&) const = default;
};
struct TargetLinkAddress {
    std::string address;
    bool operator==(const TargetLinkAddress&) const = default;
};
struct PrefixInfo {
    std::int64_t prefixLength = 0;
    bool onLink = false, autoconfig = false;
    std::int64_t validLifetime = 0, preferredLifetime = 0;
    IPv6Address prefix;
    bool operator==(const PrefixInfo&) const = default;
};
struct RedirectedHeader {
    ByteSlice header;
    bool operator==(const RedirectedHeader&) const = default;
};
struct Mtu {
    std::int64_t mtu = 0;
    bool operator==(const Mtu&) const = default;
};
struct Other {
    std::int64_t type = 0;
    std::int64_t length = 0;  // in bytes
    bool operator==(const Other&) const = default;
};

}  // namespace icmp6option

// A neighbour-discovery option's kind and value.
struct Icmp6OptionType : std::variant<icmp6option::SourceLinkAddress, icmp6option::TargetLinkAddress,
                                      icmp6option::PrefixInfo, icmp6option::RedirectedHeader, icmp6option::Mtu,
                                      icmp6option::Other> {
    using variant::variant;

    std::string description() const { return text::describe(*this); }
    void appendDescription(text::LineWriter& out) const;
};

struct Icmp6Option {
    Icmp6OptionType optionType;
    std::optional<std::size_t> startIndex;
    std::optional<std::size_t> endIndex;

    // The options from the first byte of `data` on. Parsing stops, keeping what came before, at an
    // option of length 0 or one whose rule is not met or whose length runs past the data.
    static std::vector<Icmp6Option> getOptions(const ByteSlice& data);
    // The same, noting in `status` an option cut short or one whose length lies.
    static std::vector<Icmp6Option> getOptions(const ByteSlice& data, DecodeStatus& status,
                                               const DecodeContext& context);

    std::string description() const { return optionType.description(); }
    friend bool operator==(const Icmp6Option&, const Icmp6Option&) = default;
};

std::size_t hashValue(const Icmp6Type& type);
std::size_t hashValue(const Icmp6OptionType& type);
std::size_t hashValue(const Icmp6Option& option);

// An ICMPv6 message, with its neighbour-discovery options.
struct Icmp6 : Record<Icmp6> {
    static constexpr std::array carriedBy{IpKey{IpFamily::v6, ipProtocols::icmpv6}};
    static constexpr bool oneIpFamily = true;  // an IPv6 protocol

    ByteSlice payload;
    std::int64_t payloadLength = 0;
    std::int64_t type = 0;
    std::int64_t code = 0;
    std::uint16_t checksum = 0;
    Icmp6Type icmpType = icmp6::Other{};
    std::vector<Icmp6Option> options;

    Icmp6() {}
    void reuse() {  // the options keep their room
        clearRecord();
        payload = ByteSlice();
        payloadLength = 0;
        icmpType = icmp6::Other{};
        options.clear();
    }

    static bool decodeInto(Icmp6& record, ByteSlice&& bytes, const DecodeContext& context = {});

    void appendDescription(text::LineWriter& out) const;
    void appendVerboseDescription(text::LineWriter& out) const;
};

}  // namespace ZuzizavAdiduDazorud

template <>
struct std::hash<ZuzizavAdiduDazorud::Icmp6Type> {
    std::size_t operator()(const ZuzizavAdiduDazorud::Icmp6Type& value) const {
        return ZuzizavAdiduDazorud::hashValue(value);
    }
};
template <>
struct std::hash<ZuzizavAdiduDazorud::Icmp6OptionType> {
    std::size_t operator()(const ZuzizavAdiduDazorud::Icmp6OptionType& value) const {
        return ZuzizavAdiduDazorud::hashValue(value);
    }
};
template <>
struct std::hash<ZuzizavAdiduDazorud::Icmp6Option> {
    std::size_t operator()(const ZuzizavAdiduDazorud::Icmp6Option& value) const {
        return ZuzizavAdiduDazorud::hashValue(value);
    }
};
