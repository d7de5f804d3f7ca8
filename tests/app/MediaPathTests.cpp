// What the capture helper makes of a datagram: its class by the payload's first bytes, which way it went
// and whom it names, on every link type a capture gives; the records it writes; how it counts.
#include "MediaPath.h"

#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tidemark;
using namespace std::chrono_literals;

namespace {

std::vector<std::uint8_t> bytes(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

const std::string cookie = "2112a442";
const std::string rtpPayload = "806f0001000000640000abcd";
const std::string transaction = "000102030405060708090a0b";

}  // namespace

TEST(MediaPath, PayloadsAreClassifiedByTheirFirstBytes) {
    const ServiceSet zoom = ServiceSet{1} << 0;
    struct Case {
        const char* name;
        std::string payload;  // hex
        std::size_t length;   // 0: the payload's own
        ServiceSet sender;
        PayloadClass expected;
    };
    const Case cases[] = {
        {"binding request", "00010000" + cookie + transaction, 0, 0, PayloadClass::stun},
        {"binding response with an attribute", "01010008" + cookie + transaction + "0020000400011234", 0, 0, PayloadClass::stun},
        {"Data indication", "01170000" + cookie + transaction, 0, 0, PayloadClass::turnData},
        {"a fake cookie", "00010000" + std::string("2112a443") + transaction, 0, 0, PayloadClass::other},
        {"a STUN length that is not the datagram's", "00010004" + cookie + transaction, 0, 0, PayloadClass::other},
        {"STUN cut by the capture, its length from the header", "00010004" + cookie, 24, 0, PayloadClass::stun},
        {"ChannelData", "40010004deadbeef", 0, 0, PayloadClass::turnData},
        {"ChannelData padded", "4001000301020300", 0, 0, PayloadClass::turnData},
        {"ChannelData whose length lies", "400100ffdeadbeef", 0, 0, PayloadClass::other},
        {"DTLS 1.2 handshake", "16fefd000000000000000000100100", 0, 0, PayloadClass::dtls},
        {"DTLS range without a DTLS version (NTP)", "240100000000000000000000000000", 0, 0, PayloadClass::other},
        {"RTP", "806f0001000000640000abcd00112233", 0, 0, PayloadClass::rtp},
        {"RTCP", "80c8000600000001", 0, 0, PayloadClass::rtp},
        {"Zoom's own framing from Zoom", "05100102030405060708", 0, zoom, PayloadClass::serviceMedia},
        {"the same from anyone else", "05100102030405060708", 0, 0, PayloadClass::other},
        {"QUIC short header", "4f8a2b3c4d5e6f708192a3b4c5d6e7f8", 0, 0, PayloadClass::other},
        {"no payload", "", 0, 0, PayloadClass::other},
        {"1 byte", "80", 0, 0, PayloadClass::other},
        {"3 bytes", "000100", 0, 0, PayloadClass::other},
        {"a length shorter than what was captured", "806f0001000000640000abcd", 4, 0, PayloadClass::other},
    };
    for (const Case& c : cases) {
        const auto p = bytes(c.payload);
        EXPECT_EQ(classifyPayload(p, c.length ? c.length : p.size(), c.sender), c.expected) << c.name;
    }
}

TEST(MediaPath, EachLinkTypeGivesTheDatagramsDirectionAndSender) {
    // RTP from 192.0.2.7:8801 to 10.0.0.2:50000 (IPv4), or from 2001:db8::7 after a hop-by-hop extension
    // header (IPv6), behind each link header a capture gives, VLAN tags included.
    const std::string udp = "2261c35000140000" + rtpPayload;
    const std::string ip4 = "4500002800000000401100" "00c00002070a000002" + udp;
    const std::string ip6 = "60000000001c0040" "20010db8000000000000000000000007" "20010db8000000000000000000000002"
                            "1100010400000000" + udp;
    const std::string eth = "020000000001020000000002";
    const std::string sllAddress = "000100060200000000020000";  // Ethernet, 6 bytes, padded to 8
    struct Case {
        const char* name;
        ZuzizavAdiduDazorud::LinkType link;
        std::string frame;
        Direction direction;
        const char* remote;
    };
    using L = ZuzizavAdiduDazorud::LinkType;
    const Case cases[] = {
        {"Ethernet", L::ethernet, eth + "0800" + ip4, Direction::inbound, "192.0.2.7"},
        {"Ethernet, two VLAN tags", L::ethernet, eth + "88a8000a8100000b0800" + ip4, Direction::inbound, "192.0.2.7"},
        {"Ethernet, IPv6 with an extension header", L::ethernet, eth + "86dd" + ip6, Direction::inbound, "2001:db8::7"},
        {"cooked v1, to us", L::linuxSll, "0000" + sllAddress + "0800" + ip4, Direction::inbound, "192.0.2.7"},
        {"cooked v1, VLAN tag", L::linuxSll, "0000" + sllAddress + "8100000a0800" + ip4, Direction::inbound, "192.0.2.7"},
        {"cooked v1, sent by us", L::linuxSll, "0004" + sllAddress + "0800" + ip4, Direction::outbound, "10.0.0.2"},
        {"cooked v2, VLAN tag", L::linuxSll2, "81000000000000020001000602000000000200000" "00a0800" + ip4, Direction::inbound,
         "192.0.2.7"},
        {"cooked v2, IPv6", L::linuxSll2, "86dd000000000002000100060200000000020000" + ip6, Direction::inbound, "2001:db8::7"},
        {"raw IP", L::raw, ip4, Direction::inbound, "192.0.2.7"},
        {"BSD loopback", L::null, "02000000" + ip4, Direction::inbound, "192.0.2.7"},
    };
    const LocalAddresses none;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto frameBytes = bytes(c.frame);
        ZuzizavAdiduDazorud::Frame frame;
        frame.decode(c.link, frameBytes, {}, static_cast<std::int64_t>(frameBytes.size()), 0);
        const auto o = observe(frame, none);
        ASSERT_TRUE(o) << frame.description();
        EXPECT_EQ(o->direction, c.direction);
        EXPECT_EQ(o->remote.text(), c.remote);
        EXPECT_EQ(o->remotePort, c.direction == Direction::inbound ? 8801 : 50000);
        EXPECT_EQ(o->kind, PayloadClass::rtp);
    }
    // A later fragment has no UDP header, and TCP is no datagram.
    for (const std::string& ip : {ip4.substr(0, 12) + "0001" + ip4.substr(16), ip4.substr(0, 18) + "06" + ip4.substr(20)}) {
        const auto frameBytes = bytes(ip);
        ZuzizavAdiduDazorud::Frame frame;
        frame.decode(L::raw, frameBytes, {}, static_cast<std::int64_t>(frameBytes.size()), 0);
        EXPECT_FALSE(observe(frame, none)) << ip;
    }
}

TEST(MediaPath, RecordsCarryAnObservationWholeAndNothingElse) {
    const Observation v6{Direction::outbound, PayloadClass::stun, *NetAddress::fromText("2603:1047::5"), 3478, 50001, 7};
    const Observation v4{Direction::inbound, PayloadClass::serviceMedia, *NetAddress::fromText("3.7.35.20"), 8801, 50002, 1};
    for (const Observation& o : {v6, v4}) EXPECT_EQ(decodeObservation(encode(o)), o);
    for (auto [at, value] : std::vector<std::pair<std::size_t, std::uint8_t>>{{0, 6}, {1, 2}, {2, 5}, {3, 1}, {11, 0}, {20, 1}}) {
        auto record = encode(v4);
        record[at] = value;
        if (at == 11) record[8] = record[9] = record[10] = 0;  // a count of 0
        EXPECT_FALSE(decodeObservation(record)) << at;
    }
}

TEST(MediaPath, TheCounterPassesAFlowsFirstDatagramAtOnceThenItsCountOnceASecond) {
    std::vector<Observation> out;
    DatagramCounter counter([&](const Observation& o) { out.push_back(o); });
    // A raw IPv4 datagram from 198.51.<high>.<low> port 8801.
    ZuzizavAdiduDazorud::Frame frame;
    std::vector<std::uint8_t> b;  // the frame borrows it: it outlives each decode
    const auto from = [&](int host, const std::string& payload) -> const ZuzizavAdiduDazorud::Frame& {
        char source[9];
        std::snprintf(source, sizeof source, "c633%02x%02x", host >> 8, host & 0xff);
        b = bytes("4500002800000000401100" "00" + std::string(source) + "0a000002" "2261c35000140000" + payload);
        frame.decode(ZuzizavAdiduDazorud::LinkType::raw, b, {}, static_cast<std::int64_t>(b.size()), 0);
        return frame;
    };
    const auto t0 = DatagramCounter::Clock::time_point{} + 1h;
    counter.tick(t0);
    for (int i = 0; i < 100; ++i) counter.frame(from(7, rtpPayload), t0);
    counter.frame(from(8, "68656c6c6f2c20776f726c64"), t0);  // from 8801, framing unknown: passed on
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].count, 1u);
    EXPECT_EQ(out[1].kind, PayloadClass::other);
    counter.tick(t0 + 500ms);
    EXPECT_EQ(out.size(), 2u);
    counter.tick(t0 + 1s);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[2].count, 99u);
    // Quiet for 30 s: forgotten, and new again.
    counter.tick(t0 + 40s);
    counter.frame(from(7, rtpPayload), t0 + 41s);
    EXPECT_EQ(out.size(), 4u);
    // At most maximumFlows at once: the rest wait, uncounted.
    for (int host = 100; host < 1100; ++host) counter.frame(from(host, rtpPayload), t0 + 41s);
    EXPECT_EQ(out.size(), 4u + DatagramCounter::maximumFlows - 1);
    EXPECT_EQ(counter.overflowed(), 1000u - (DatagramCounter::maximumFlows - 1));
}

TEST(MediaPath, OnlyPublicAddressesMayBeAServersToLookUp) {
    const std::pair<const char*, bool> cases[] = {
        {"192.0.2.7", true},   {"52.112.0.10", true}, {"2001:db8::7", true}, {"2603:1047::5", true},
        {"10.1.2.3", false},   {"172.16.0.1", false}, {"192.168.77.7", false}, {"100.64.0.1", false},
        {"127.0.0.1", false},  {"169.254.1.1", false}, {"224.0.0.251", false}, {"0.0.0.0", false},
        {"255.255.255.255", false}, {"::1", false}, {"fe80::1", false}, {"fd00::1", false},
        {"::ffff:192.168.1.1", false}, {"::ffff:192.0.2.7", true}, {"ff02::1", false},
    };
    for (const auto& [text, isPublic] : cases) EXPECT_EQ(NetAddress::fromText(text)->isPublic(), isPublic) << text;
}
