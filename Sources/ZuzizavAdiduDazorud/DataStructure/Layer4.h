#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Icmp4.h>
#include <ZuzizavAdiduDazorud/DataStructure/Icmp6.h>
#include <ZuzizavAdiduDazorud/DataStructure/Igmp4.h>
#include <ZuzizavAdiduDazorud/DataStructure/Tcp.h>
#include <ZuzizavAdiduDazorud/DataStructure/Udp.h>
#include <ZuzizavAdiduDazorud/DataStructure/Unknown.h>

#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <string>
#include <variant>

namespace ZuzizavAdiduDazorud {

// What the frame reports as layer 4 for protocols that carry none.
struct NoLayer4 {
    friend bool operator==(const NoLayer4&, const NoLayer4&) = default;
};

// The decoded transport content of an IP packet.
class Layer4 {
public:
    using Value = std::variant<Tcp, Udp, Igmp4, Icmp4, Icmp6, Unknown, NoLayer4>;

    // Unknown with no bytes.
    Layer4() : value_(Unknown{}) {}
    Layer4(Tcp tcp) : value_(std::move(tcp)) {}
    Layer4(Udp udp) : value_(std::move(udp)) {}
    Layer4(Igmp4 igmp4) : value_(std::move(igmp4)) {}
    Layer4(Icmp4 icmp4) : value_(std::move(icmp4)) {}
    Layer4(Icmp6 icmp6) : value_(std::move(icmp6)) {}
    Layer4(Unknown unknown) : value_(std::move(unknown)) {}
    Layer4(NoLayer4 none) : value_(none) {}

    static Layer4 noLayer4() { return Layer4(NoLayer4{}); }

    const Value& value() const { return value_; }
    // Replaces the content with a default-constructed T, for decoding in place.
    template <typename T>
    T& emplace() {
        return value_.template emplace<T>();
    }
    template <typename T>
    const T* as() const {
        return std::get_if<T>(&value_);
    }
    const Tcp* tcp() const { return as<Tcp>(); }
    const Udp* udp() const { return as<Udp>(); }
    const Igmp4* igmp4() const { return as<Igmp4>(); }
    const Icmp4* icmp4() const { return as<Icmp4>(); }
    const Icmp6* icmp6() const { return as<Icmp6>(); }
    const Unknown* unknown() const { return as<Unknown>(); }
    bool isNoLayer4() const { return std::holds_alternative<NoLayer4>(value_); }

    // Calls `f` with the status of the record (a DecodeStatus&). Only TCP, UDP and ICMPv6 records can
    // be cut short.
    template <typename F>
    void forEachStatus(F&& f) {
        if (auto* udp = std::get_if<Udp>(&value_)) {
            f(udp->status);
        } else if (auto* tcp = std::get_if<Tcp>(&value_)) {
            f(tcp->status);
        } else if (auto* icmp = std::get_if<Icmp6>(&value_)) {
            f(icmp->status);
        }
    }

    std::string description() const;
    void appendDescription(text::LineWriter& out) const;
    std::string verboseDescription() const;
    void appendVerboseDescription(text::LineWriter& out) const;
    std::string hexdump() const;

private:
    Value value_;
};

enum class IpFamily : std::uint8_t { v4, v6 };

// The transport content of an IP payload: IPv4 protocols 1, 2, 6, 17 and IPv6 next headers 6, 17, 58
// have decoders; any other value, or a decoder that refuses, gives the bytes as unknown.
Layer4 decodeLayer4(IpFamily family, std::uint8_t protocol, const ByteSlice& payload);
// The same, decoded in place into `out`.
void decodeLayer4(Layer4& out, IpFamily family, std::uint8_t protocol, ByteSlice payload);

}  // namespace ZuzizavAdiduDazorud
