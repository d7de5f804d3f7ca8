#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Arp.h>
#include <ZuzizavAdiduDazorud/DataStructure/Bpdu.h>
#include <ZuzizavAdiduDazorud/DataStructure/Cdp.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPv4.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPv6.h>
#include <ZuzizavAdiduDazorud/DataStructure/Lldp.h>
#include <ZuzizavAdiduDazorud/DataStructure/Unknown.h>

#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <string>
#include <variant>

namespace ZuzizavAdiduDazorud {

// The decoded payload of a frame.
class Layer3 {
public:
    using Value = std::variant<IPv4, IPv6, Arp, Bpdu, Cdp, Lldp, Unknown>;

    // Unknown with no bytes.
    Layer3() : value_(Unknown{}) {}
    Layer3(IPv4 ipv4) : value_(std::move(ipv4)) {}
    Layer3(IPv6 ipv6) : value_(std::move(ipv6)) {}
    Layer3(Arp arp) : value_(std::move(arp)) {}
    Layer3(Bpdu bpdu) : value_(std::move(bpdu)) {}
    Layer3(Cdp cdp) : value_(std::move(cdp)) {}
    Layer3(Lldp lldp) : value_(std::move(lldp)) {}
    Layer3(Unknown unknown) : value_(std::move(unknown)) {}

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
    const IPv4* ipv4() const { return as<IPv4>(); }
    const IPv6* ipv6() const { return as<IPv6>(); }
    const Arp* arp() const { return as<Arp>(); }
    const Bpdu* bpdu() const { return as<Bpdu>(); }
    const Cdp* cdp() const { return as<Cdp>(); }
    const Lldp* lldp() const { return as<Lldp>(); }
    const Unknown* unknown() const { return as<Unknown>(); }

    // Calls `f` with the status of the record (a DecodeStatus&), and of the transport record it carries.
    // Only IP and CDP records can be cut short.
    template <typename F>
    void forEachStatus(F&& f) {
        if (auto* ip = std::get_if<IPv4>(&value_)) {
            f(ip->status);
            ip->layer4.forEachStatus(f);
        } else if (auto* ip6 = std::get_if<IPv6>(&value_)) {
            f(ip6->status);
            ip6->layer4.forEachStatus(f);
        } else if (auto* cdp = std::get_if<Cdp>(&value_)) {
            f(cdp->status);
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

}  // namespace ZuzizavAdiduDazorud
