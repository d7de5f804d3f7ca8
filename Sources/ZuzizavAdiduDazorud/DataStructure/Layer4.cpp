#include "Layer4.h"

#include "../Extensions/Overloaded.h"

namespace ZuzizavAdiduDazorud {

std::string Layer4::description() const {
    return std::visit(Overloaded{[](const NoLayer4&) { return std::string(); },
                                 [](const auto& record) { return record.description(); }},
                      value_);
}

std::string Layer4::verboseDescription() const {
    return std::visit(Overloaded{[](const NoLayer4&) { return std::string(); },
                                 [](const auto& record) { return record.verboseDescription(); }},
                      value_);
}

std::string Layer4::hexdump() const {
    return std::visit(Overloaded{[](const NoLayer4&) { return std::string(); },
                                 [](const auto& record) { return record.hexdump(); }},
                      value_);
}

Layer4 decodeLayer4(IpFamily family, std::uint8_t protocol, const ByteSlice& payload) {
    const bool v4 = family == IpFamily::v4;
    switch (protocol) {
        case 1:
            if (!v4) break;
            if (auto icmp = Icmp4::decode(payload)) return std::move(*icmp);
            break;
        case 2:
            if (!v4) break;
            if (auto igmp = Igmp4::decode(payload)) return std::move(*igmp);
            break;
        case 6:
            if (auto tcp = Tcp::decode(payload)) return std::move(*tcp);
            break;
        case 17:
            if (auto udp = Udp::decode(payload)) return std::move(*udp);
            break;
        case 58:
            if (v4) break;
            if (auto icmp = Icmp6::decode(payload)) return std::move(*icmp);
            break;
        default: break;
    }
    return Unknown{payload};
}

}  // namespace ZuzizavAdiduDazorud
