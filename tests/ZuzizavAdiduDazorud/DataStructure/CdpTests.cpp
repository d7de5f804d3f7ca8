#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include "Hex.h"
#include "LogCapture.h"
#include "SampleFrames.h"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace ZuzizavAdiduDazorud;
using TestSupport::frameFromHex;
using TestSupport::hexAt;

TEST(Cdp, SwitchAdvertisement) {
    Frame frame = frameFromHex(
        "01000ccccccc0011223344550094aaaa0300000c200002b4000000010013737769746368312e6578616d706c6500020011000000010"
        "101cc0004c0a80001000300164769676162697445746865726e6574302f31000400080000002800050028436973636f20494f5320"
        "536f6674776172652c2056657273696f6e2031352e322837294500060013636973636f2057532d433239363058000a00060001000b"
        "000501");
    const Cdp* cdp = frame.layer3.cdp();
    ASSERT_TRUE(cdp) << frame.description();
    EXPECT_EQ(cdp->version, 2);
    EXPECT_EQ(cdp->ttl, 180);
    EXPECT_EQ(cdp->startIndex[Field::ttl], 23u);
    std::vector<std::tuple<std::string, std::size_t, std::size_t>> values;
    for (const auto& v : cdp->values) values.emplace_back(v.description(), *v.startIndex, *v.endIndex);
    const std::vector<std::tuple<std::string, std::size_t, std::size_t>> expected = {
        {"deviceID switch1.example", 26, 45},
        {"ipv4 192.168.0.1", 53, 62},
        {"portID GigabitEthernet0/1", 62, 84},
        {"Switch", 91, 92},
        {"IGMP-Speaker", 91, 92},
        {"Version Cisco IOS Software, Version 15.2(7)E", 92, 132},
        {"Platform cisco WS-C2960X", 132, 151},
        {"NativeVLAN 1", 151, 157},
        {"Duplex Full", 157, 162},  // a 5-byte TLV that ends the data is still read
    };
    EXPECT_EQ(values, expected);
    EXPECT_EQ(cdp->verboseDescription(), "CDP version 2 9 values");
    EXPECT_EQ(frame.layer3.description(), "CDP");
    EXPECT_TRUE(frame.layer4()->isNoLayer4());
    EXPECT_TRUE(cdp->ipv4addresses.empty());
}

TEST(Cdp, TlvValues) {
    struct Case {
        const char* name;
        std::string tlv;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {"device id", "0001 000a 73772d6f6e65", {"deviceID sw-one"}},
        {"capabilities 0x29", "0004 0008 00000029", {"Router", "Switch", "IGMP-Speaker"}},
        {"capabilities 0x200", "0004 0008 00000200", {"CVTA/STP Dispute Resolution/Cisco VT Camera"}},
        {"capabilities 0x700", "0004 0008 00000f00", {"Remote Managed", "CVTA/STP Dispute Resolution/Cisco VT Camera",
                                                      "Mac Relay"}},
        {"no capability", "0004 0008 ffff0000", {}},
        {"duplex 0", "000b 0005 00", {"Duplex value 0"}},
        {"trust bitmap", "0012 0005 0a", {"Trust Bitmap 0xa"}},
        {"untrusted cos", "0013 0005 ff", {"Untrusted Port CoS 0xff"}},
        {"system name", "0014 0009 636f726531", {"Device Name core1"}},
        // Text from the wire never carries control characters into a text: a newline, an ESC.
        {"device id with controls", "0001 000a 73770a1b5d30", {"deviceID sw\\n\\u{1b}]0"}},
        {"platform in Greek", "0006 000a cebbceb1cf8c", {"Platform λαό"}},
        {"vtp domain", "0009 0008 64656d6f", {"UnknownCdpValue 8 bytes type 9"}},
        {"two addresses", "0002 002d 00000002 0101cc0004c0a80001 0108aaaa0300000086dd0010 20010db8000000000000000000000001",
         {"ipv4 192.168.0.1", "ipv6 2001:db8::1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ByteSlice data = hexAt(26, c.tlv);
        auto values = Cdp::getValues(data);
        std::vector<std::string> texts;
        for (const auto& v : values) texts.push_back(v.description());
        EXPECT_EQ(texts, c.texts);
    }
    auto device = Cdp::getValues(hexAt(26, "0001 000a 73772d6f6e65"));
    EXPECT_EQ(device.at(0).startIndex, 26u);
    EXPECT_EQ(device.at(0).endIndex, 36u);
    auto camera = Cdp::getValues(hexAt(26, "0004 0008 00000200"));
    EXPECT_EQ(camera.at(0).startIndex, 32u);
    EXPECT_EQ(camera.at(0).endIndex, 33u);
}

TEST(Cdp, Failures) {
    struct Case {
        std::string tlv;
        std::string error;
    };
    const Case cases[] = {
        {"0004 0009 0000002900", "unexpected error cdp type 4: length 9 unable to decode capabilities"},
        {"000a 0005 01", "unexpected error cdp type 10 length 5 invalid"},
        {"0014 0006 ff fe", "unexpected error cdp type 20: unable to decode platform"},
        {"0001 0006 c0 80", "unexpected error cdp type 1: unable to decode deviceId string"},
        {"0001 0010 6162", "unexpected error CDP decode failed length 16 data 6"},
        {"0002 0006 0000", "unexpected error cdp type 2: length 6 too short for an address count"},
    };
    for (const auto& c : cases) {
        try {
            Cdp::getValues(hexAt(26, c.tlv));
            ADD_FAILURE() << c.tlv;
        } catch (const DecodeError& error) {
            EXPECT_EQ(error.description(), c.error);
        }
    }

    TestSupport::LogCapture log;
    EXPECT_FALSE(Cdp::decode(hexAt(22, "02b40000 0001000a73")));  // 9 bytes
    auto empty = Cdp::decode(hexAt(22, "02b40000 0001000a7377"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->values.empty());
    auto shortTlv = Cdp::decode(hexAt(22, "02b40000 00010004 0001000a73772d6f6e65"));
    ASSERT_TRUE(shortTlv);
    EXPECT_TRUE(shortTlv->values.empty());
    // A bad TLV keeps what came before it.
    auto partial = Cdp::decode(hexAt(22, "02b40000 0001000a73772d6f6e65 0014000aff6f6f6f6f6f"));
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->values.size(), 1u);
    EXPECT_EQ(log.messages(), (std::vector<std::string>{
                                  "error: Cdp: error decoding cdpValue at position 4 type 1 length 4 error unexpected "
                                  "error CDP decode failed length 4 data 14",
                                  "error: Cdp: error decoding cdpValue at position 14 type 20 length 10 error "
                                  "unexpected error cdp type 20: unable to decode platform"}));
}

TEST(Cdp, AddressWalk) {
    TestSupport::LogCapture log;
    // An unsupported protocol byte, then an IPv4 entry; then a count that promises more than there is.
    auto values = Cdp::getValues(hexAt(26, "0002 001a 00000003 010181000400000000 0101cc0004c0a80001"));
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].description(), "ipv4 192.168.0.1");
    EXPECT_EQ(values[0].startIndex, 26u + 17);
    // An odd protocol length is skipped by its declared sizes.
    auto odd = Cdp::getValues(hexAt(26, "0002 0019 00000002 0102aaaa000400000000 0101cc0004c0a80002"));
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].description(), "ipv4 192.168.0.2");
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: CDP: unsupported address protocol 129",
                                                        "error: Cdp: unexpected protocol length 2"}));
    std::unordered_set<CdpValue> set(values.begin(), values.end());
    set.insert(values[0]);
    EXPECT_EQ(set.size(), 1u);
}
