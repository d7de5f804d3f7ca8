#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Icmp4.h>
#include <ZuzizavAdiduDazorud/DataStructure/Icmp6.h>
#include <ZuzizavAdiduDazorud/DataStructure/Igmp4.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer.h>
#include <ZuzizavAdiduDazorud/DataStructure/Tcp.h>
#include <ZuzizavAdiduDazorud/DataStructure/Udp.h>
#include <ZuzizavAdiduDazorud/DataStructure/Unknown.h>

#include <string>

namespace ZuzizavAdiduDazorud {

// What the frame reports as layer 4 for protocols that carry none.
struct NoLayer4 {
    std::string description() const { return {}; }
    void appendDescription(text::LineWriter&) const {}
    std::string verboseDescription() const { return {}; }
    void appendVerboseDescription(text::LineWriter&) const {}
    std::string hexdump() const { return {}; }
    friend bool operator==(const NoLayer4&, const NoLayer4&) = default;
};

// The decoded transport content of an IP packet, by IPv4 protocol or IPv6 next header.
using Layer4 = Layer<KeyKinds<IpKey>, Tcp, Udp, Igmp4, Icmp4, Icmp6, Unknown, NoLayer4>;

}  // namespace ZuzizavAdiduDazorud
