#pragma once

#include "Tcp.h"
#include "Udp.h"
#include "Unknown.h"

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
    using Value = std::variant<Tcp, Udp, Unknown, NoLayer4>;

    // Unknown with no bytes.
    Layer4() : value_(Unknown{}) {}
    Layer4(Tcp tcp) : value_(std::move(tcp)) {}
    Layer4(Udp udp) : value_(std::move(udp)) {}
    Layer4(Unknown unknown) : value_(std::move(unknown)) {}
    Layer4(NoLayer4 none) : value_(none) {}

    static Layer4 noLayer4() { return Layer4(NoLayer4{}); }

    const Value& value() const { return value_; }
    template <typename T>
    const T* as() const {
        return std::get_if<T>(&value_);
    }
    const Tcp* tcp() const { return as<Tcp>(); }
    const Udp* udp() const { return as<Udp>(); }
    const Unknown* unknown() const { return as<Unknown>(); }
    bool isNoLayer4() const { return std::holds_alternative<NoLayer4>(value_); }

    std::string description() const;
    std::string verboseDescription() const;
    std::string hexdump() const;

private:
    Value value_;
};

}  // namespace ZuzizavAdiduDazorud
