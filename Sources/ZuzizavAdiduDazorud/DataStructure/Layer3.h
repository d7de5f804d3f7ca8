#pragma once

#include "IPv4.h"
#include "IPv6.h"
#include "Unknown.h"

#include <string>
#include <variant>

namespace ZuzizavAdiduDazorud {

// The decoded payload of a frame.
class Layer3 {
public:
    using Value = std::variant<IPv4, IPv6, Unknown>;

    // Unknown with no bytes.
    Layer3() : value_(Unknown{}) {}
    Layer3(IPv4 ipv4) : value_(std::move(ipv4)) {}
    Layer3(IPv6 ipv6) : value_(std::move(ipv6)) {}
    Layer3(Unknown unknown) : value_(std::move(unknown)) {}

    const Value& value() const { return value_; }
    template <typename T>
    const T* as() const {
        return std::get_if<T>(&value_);
    }
    const IPv4* ipv4() const { return as<IPv4>(); }
    const IPv6* ipv6() const { return as<IPv6>(); }
    const Unknown* unknown() const { return as<Unknown>(); }

    std::string description() const;
    std::string verboseDescription() const;
    std::string hexdump() const;

private:
    Value value_;
};

}  // namespace ZuzizavAdiduDazorud
