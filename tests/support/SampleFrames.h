#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include <string_view>

namespace TestSupport {

// Ready-made frames, each decoded once on first use (time stamp 0, numbered from the frame counter).
// Ethernet, IPv4 192.168.0.16 > 192.168.0.10, TCP 49153 > 56958 ACK with 12 option bytes; 66 of 200 bytes.
const ZuzizavAdiduDazorud::Frame& sampleTcpFrame();
// Ethernet to 01:00:5e:00:00:fb, IPv4 192.168.0.35 > 224.0.0.251, UDP 5353 > 5353: an mDNS answer.
const ZuzizavAdiduDazorud::Frame& sampleMdnsFrame();
// Ethernet, IPv4 192.168.0.10 > 4.2.2.1, ICMP echo request id 0x1385 with 56 data bytes.
const ZuzizavAdiduDazorud::Frame& sampleIcmpFrame();
// Ethernet, IPv6 fe80::1867:ff5d:d25b:ad67 > fe80::b27f:b9ff:fe5d:8ed2, ICMPv6 neighbour advertisement.
const ZuzizavAdiduDazorud::Frame& sampleIcmp6Frame();

// An Ethernet frame decoded from hex text (blanks ignored), captured whole, numbered 1.
ZuzizavAdiduDazorud::Frame frameFromHex(std::string_view text);

}  // namespace TestSupport
