#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ZuzizavAdiduDazorud {

// The kind of an ICMPv6 message with its arguments.
class Icmp6Type {
public:
    enum class Case : std::uint8_t {
        other, parameterProblem, echoRequest, echoReply, neighborSolicitation, neighborAdvertisement, redirect,
        unreachableNoRoute, unreachableProhibited, unreachableScope, unreachableAddress, unreachablePort,
        unreachableSource, unreachableRejectRoute, packetTooBig, hopLimitExceeded, fragmentReassemblyTimeExceeded,
        multicastListenerQuery, multicastListenerReport, multicastListenerDone, multicastListenerReportV2,
    };

    static Icmp6Type other(std::int64_t type, std::int64_t code);
    static Icmp6Type parameterProblem(std::int64_t code, std::int64_t pointer);
    static Icmp6Type echoRequest(std::int64_t identifier, std::int64_t sequence);
    static Icmp6Type echoReply(std::int64_t identifier, std::int64_t sequence);
    static Icmp6Type neighborSolicitation(IPv6Address target);
    static Icmp6Type neighborAdvertisement(IPv6Address target, bool router, bool solicited, bool override);
    static Icmp6Type redirect(IPv6Address target, IPv6Address destination);
    // Multicast listener discovery (RFC 2710): query, report or done, with the maximum response delay in
    // milliseconds and the multicast address.
    static Icmp6Type multicastListener(Case kind, std::int64_t maxResponseDelay, IPv6Address address);
    // An MLDv2 report (RFC 3810) with its number of multicast address records.
    static Icmp6Type multicastListenerReportV2(std::int64_t records);
    // The kinds without arguments.
    static Icmp6Type plain(Case kind);

    Case kind() const { return kind_; }
    std::int64_t type() const { return first_; }        // other
    std::int64_t code() const { return kind_ == Case::other ? second_ : first_; }
    std::int64_t pointer() const { return second_; }    // parameterProblem
    std::int64_t identifier() const { return first_; }  // echo
    std::int64_t sequence() const { return second_; }
    std::int64_t maxResponseDelay() const { return first_; }  // multicast listener messages
    std::int64_t records() const { return first_; }           // multicastListenerReportV2
    const IPv6Address& target() const { return target_; }      // also the multicast address
    const IPv6Address& destination() const { return destination_; }
    bool router() const { return router_; }
    bool solicited() const { return solicited_; }
    bool override() const { return override_; }

    std::string name() const;
    std::string detail() const;
    std::string description() const { return name() + " " + detail(); }

    friend bool operator==(const Icmp6Type&, const Icmp6Type&) = default;
    std::size_t hashValue() const;

private:
    explicit Icmp6Type(Case kind) : kind_(kind) {}

    Case kind_;
    std::int64_t first_ = 0;
    std::int64_t second_ = 0;
    IPv6Address target_;
    IPv6Address destination_;
    bool router_ = false;
    bool solicited_ = false;
    bool override_ = false;
};

// A neighbour-discovery option's kind and value.
class Icmp6OptionType {
public:
    enum class Case : std::uint8_t { sourceLinkAddress, targetLinkAddress, prefixInfo, redirectedHeader, mtu, other };

    static Icmp6OptionType sourceLinkAddress(std::string address);
    static Icmp6OptionType targetLinkAddress(std::string address);
    static Icmp6OptionType prefixInfo(std::int64_t prefixLength, bool onLink, bool autoconfig,
                                      std::int64_t validLifetime, std::int64_t preferredLifetime, IPv6Address prefix);
    static Icmp6OptionType redirectedHeader(ByteSlice header);
    static Icmp6OptionType mtu(std::int64_t mtu);
    static Icmp6OptionType other(std::int64_t type, std::int64_t length);

    Case kind() const { return kind_; }
    const std::string& linkAddress() const { return text_; }
    std::int64_t prefixLength() const { return first_; }
    bool onLink() const { return onLink_; }
    bool autoconfig() const { return autoconfig_; }
    std::int64_t validLifetime() const { return second_; }
    std::int64_t preferredLifetime() const { return third_; }
    const IPv6Address& prefix() const { return prefix_; }
    const ByteSlice& header() const { return header_; }
    std::int64_t mtuValue() const { return first_; }
    std::int64_t type() const { return first_; }    // other
    std::int64_t length() const { return second_; }  // other, in bytes

    std::string description() const;

    friend bool operator==(const Icmp6OptionType&, const Icmp6OptionType&) = default;
    std::size_t hashValue() const;

private:
    explicit Icmp6OptionType(Case kind) : kind_(kind) {}

    Case kind_;
    std::string text_;
    std::int64_t first_ = 0;
    std::int64_t second_ = 0;
    std::int64_t third_ = 0;
    bool onLink_ = false;
    bool autoconfig_ = false;
    IPv6Address prefix_;
    ByteSlice header_;
};

struct Icmp6Option {
    Icmp6OptionType optionType;
    std::optional<std::size_t> startIndex;
    std::optional<std::size_t> endIndex;

    // The options from the first byte of `data` on. Parsing stops, keeping what came before, at an
    // option of length 0 or one whose rule is not met or whose length runs past the data.
    static std::vector<Icmp6Option> getOptions(const ByteSlice& data);

    std::string description() const { return optionType.description(); }
    friend bool operator==(const Icmp6Option&, const Icmp6Option&) = default;
    std::size_t hashValue() const;
};

// An ICMPv6 message, with its neighbour-discovery options.
struct Icmp6 {
    ByteSlice data;
    ByteSlice payload;
    std::int64_t payloadLength = 0;
    std::int64_t type = 0;
    std::int64_t code = 0;
    std::uint16_t checksum = 0;
    Icmp6Type icmpType = Icmp6Type::other(0, 0);
    std::vector<Icmp6Option> options;
    FieldIndex startIndex;
    FieldIndex endIndex;

    // User-provided, so that emplacing a record runs the member initializers without zero-filling
    // the whole record first.
    Icmp6() {}

    static std::optional<Icmp6> decode(ByteSlice data);
    // Decodes into a default-constructed record, so a caller can decode in place. `data` takes the
    // bytes either way; false when they are not one (the other fields are then left half-filled).
    static bool decodeInto(Icmp6& record, ByteSlice bytes);

    std::string description() const;
    std::string verboseDescription() const;
    std::string hexdump() const { return data.hexdump(); }
};

}  // namespace ZuzizavAdiduDazorud

template <>
struct std::hash<ZuzizavAdiduDazorud::Icmp6Type> {
    std::size_t operator()(const ZuzizavAdiduDazorud::Icmp6Type& value) const { return value.hashValue(); }
};
template <>
struct std::hash<ZuzizavAdiduDazorud::Icmp6OptionType> {
    std::size_t operator()(const ZuzizavAdiduDazorud::Icmp6OptionType& value) const { return value.hashValue(); }
};
template <>
struct std::hash<ZuzizavAdiduDazorud::Icmp6Option> {
    std::size_t operator()(const ZuzizavAdiduDazorud::Icmp6Option& value) const { return value.hashValue(); }
};
