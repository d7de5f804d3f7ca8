#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include "Hex.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace ZuzizavAdiduDazorud;
using TestSupport::fieldHex;
using TestSupport::hex;
using TestSupport::hexAt;

namespace {
Frame frameOf(const std::string& text) {
    ByteSlice bytes = hex(text);
    return Frame(bytes, {}, static_cast<std::int64_t>(bytes.count()), 1);
}
const std::string arpRequest = "0001 0800 06 04 0001 001122334455 0a000001 000000000000 0a000002";
}  // namespace

// MARK: ARP

TEST(Arp, PaddedRequestFrame) {
    Frame frame = frameOf("ffffffffffff001122334455 0806" + arpRequest + std::string(36, '0'));
    const Arp* arp = frame.layer3.arp();
    ASSERT_TRUE(arp);
    EXPECT_EQ(arp->operation, ArpOperation::arpRequest);
    EXPECT_EQ(arp->hardwareType, 1);
    EXPECT_EQ(arp->protocolType, 0x0800);
    EXPECT_EQ(arp->hardwareSize, 6);
    EXPECT_EQ(arp->protocolSize, 4);
    EXPECT_EQ(arp->data.count(), 46u);  // padding included
    EXPECT_EQ(arp->description(), "ARP Request sender 00:11:22:33:44:55 10.0.0.1 target 00:00:00:00:00:00 10.0.0.2");
    EXPECT_EQ(arp->verboseDescription(), arp->description() + " hwType 1 protType 0x0800 hwSize 6 protSize 4");
    ASSERT_TRUE(arp->layer4.unknown());
    EXPECT_TRUE(arp->layer4.unknown()->data.empty());
    ASSERT_TRUE(frame.layer4());
    EXPECT_TRUE(frame.layer4()->isNoLayer4());
    EXPECT_EQ(frame.description(), "00:11:22:33:44:55 ff:ff:ff:ff:ff:ff ethernet 0x0806 " + arp->description() + " ");

    const std::tuple<Field, std::size_t, std::size_t, std::string> fields[] = {
        {Field::hardwareType, 14, 16, "0001"},         {Field::protocolType, 16, 18, "0800"},
        {Field::hardwareSize, 18, 19, "06"},           {Field::protocolSize, 19, 20, "04"},
        {Field::operation, 20, 22, "0001"},            {Field::senderEthernet, 22, 28, "001122334455"},
        {Field::senderIp, 28, 32, "0a000001"},         {Field::targetEthernet, 32, 38, "000000000000"},
        {Field::targetIp, 38, 42, "0a000002"},
    };
    for (const auto& [field, start, end, bytes] : fields) {
        EXPECT_EQ(arp->startIndex[field], start) << toString(field);
        EXPECT_EQ(arp->endIndex[field], end) << toString(field);
        EXPECT_EQ(fieldHex(*arp, frame.data, field), bytes) << toString(field);
    }
}

TEST(Arp, OperationsAndRefusalsInOrder) {
    const std::pair<std::string, std::string> operations[] = {
        {"0002", "ARP Reply"}, {"0003", "RARP Request"}, {"0004", "RARP Reply"}};
    for (const auto& [code, text] : operations) {
        auto arp = Arp::decode(hexAt(14, "0001 0800 06 04" + code + "001122334455 0a000001 000000000000 0a000002"));
        ASSERT_TRUE(arp);
        EXPECT_EQ(arp->description().rfind(text + " sender", 0), 0u);
        EXPECT_EQ(arpOperationFromRawValue(text), arp->operation);
    }
    EXPECT_FALSE(arpOperationFromRawValue("arp request"));

    struct Case {
        std::string bytes;
        std::string message;
    };
    const Case refusals[] = {
        {arpRequest.substr(0, arpRequest.size() - 2), "error: Unable to decode ARP from 27 bytes"},
        {"0006 0800 06 04 0000 001122334455 0a000001 000000000000 0a000002",
         "error: EtherCapture.Arp: invalid ARP operation 0"},  // the operation is checked first
        {"0001 0800 06 04 0005 001122334455 0a000001 000000000000 0a000002",
         "error: EtherCapture.Arp: invalid ARP operation 5"},
        {"0006 0800 08 04 0001 001122334455 0a000001 000000000000 0a000002 00000000",
         "error: EtherCapture.Arp: invalid types or sizes detected"},  // IEEE 802 addresses are 6 bytes
        {"0001 86dd 06 04 0001 001122334455 0a000001 000000000000 0a000002",
         "error: EtherCapture.Arp: invalid types or sizes detected"},  // only IPv4 fits the record
        {"0001 0800 06 10 0001 001122334455 0a000001 000000000000 0a000002",
         "error: Unable to decode ARP from 28 bytes"},  // sizes claiming more than there is
    };
    for (const auto& c : refusals) {
        TestSupport::LogCapture log;
        EXPECT_FALSE(Arp::decode(hexAt(14, c.bytes)));
        EXPECT_EQ(log.messages(), std::vector<std::string>{c.message});
    }
}

TEST(Arp, AnyHardwareWhoseAddressLengthsAreConsistent) {
    // IEEE 802 (hardware type 6), as token ring and some Wi-Fi drivers send it.
    auto ieee802 = Arp::decode(hexAt(14, "0006 0800 06 04 0002 001122334455 0a000001 665544332211 0a000002"));
    ASSERT_TRUE(ieee802);
    EXPECT_EQ(ieee802->description(),
              "ARP Reply sender 00:11:22:33:44:55 10.0.0.1 target 66:55:44:33:22:11 10.0.0.2");
    // InfiniBand (32): 20-byte hardware addresses, so every later field moves.
    const std::string ib = "80000048fe8000000000000000021100000000001";
    ByteSlice data = hexAt(14, "0020 0800 14 04 0001" + ib.substr(0, 40) + "0a000001" + std::string(40, '0') + "0a000002");
    auto infiniband = Arp::decode(data);
    ASSERT_TRUE(infiniband);
    EXPECT_EQ(infiniband->hardwareSize, 20);
    EXPECT_EQ(infiniband->senderEthernet, "80:00:00:48:fe:80:00:00:00:00:00:00:00:02:11:00:00:00:00:00");
    EXPECT_EQ(infiniband->senderIp.description(), "10.0.0.1");
    EXPECT_EQ(infiniband->targetIp.description(), "10.0.0.2");
    EXPECT_EQ(fieldHex(*infiniband, data, Field::senderIp), "0a000001");
    EXPECT_EQ(infiniband->startIndex[Field::targetEthernet], 14u + 32u);
    EXPECT_EQ(fieldHex(*infiniband, data, Field::targetIp), "0a000002");
    EXPECT_EQ(infiniband->endIndex[Field::targetIp], 14u + 56u);
}

// MARK: BPDU

TEST(Bpdu, PaddedRapidSpanningTreeFrame) {
    Frame frame = frameOf(
        "0180c2000000001122334455 0027 424203"
        "0000 02 02 7c 8000001122334455 00000004 8000665544332211 8001 0100 1400 0200 0f00 00"
        "00000000000000");
    const Bpdu* bpdu = frame.layer3.bpdu();
    ASSERT_TRUE(bpdu) << frame.description();
    EXPECT_EQ(frame.paddingBytes, 7);
    EXPECT_EQ(bpdu->data.count(), 43u);  // padding included
    EXPECT_EQ(bpdu->bpduVersion, 2);
    EXPECT_EQ(bpdu->type, 2);
    EXPECT_TRUE(bpdu->flagForwarding && bpdu->flagLearning && bpdu->flagAgreement);
    EXPECT_FALSE(bpdu->flagTopChange || bpdu->flagProposal || bpdu->flagTopChangeAgree);
    EXPECT_EQ(bpdu->portRole, 3);
    EXPECT_EQ(bpdu->rootId, 0x8000001122334455ull);
    EXPECT_EQ(bpdu->rootCost, 4u);
    EXPECT_EQ(bpdu->portId, 0x8001);
    EXPECT_DOUBLE_EQ(bpdu->age, 1.0);
    EXPECT_DOUBLE_EQ(bpdu->maxAge, 20.0);
    EXPECT_DOUBLE_EQ(bpdu->helloTime, 2.0);
    EXPECT_DOUBLE_EQ(bpdu->forwardDelay, 15.0);
    EXPECT_EQ(bpdu->description(),
              "BPDU version 2 type 2 rootID 0x8000001122334455 bridgeID 0x8000665544332211 rootCost 4 portId 32769");
    EXPECT_EQ(bpdu->verboseDescription(),
              "BPDU protocol 0 version 2 type 2 flags AGR FOR  portRole 3 rootID 0x8000001122334455 rootCost 4 "
              "bridgeID 0x8000665544332211 portId 32769 age 1.0 maxAge 20.0 helloTime 2.0 forwardDelay 15.0 43 bytes");
    EXPECT_EQ(frame.description(), "00:11:22:33:44:55 01:80:c2:00:00:00 ieee8023 0x4242 " + bpdu->description() + " ");
    EXPECT_TRUE(frame.layer4()->isNoLayer4());

    EXPECT_EQ(bpdu->startIndex[Field::rootId], 22u);
    EXPECT_EQ(bpdu->endIndex[Field::rootId], 30u);
    EXPECT_EQ(bpdu->startIndex[Field::v1Length], 52u);
    EXPECT_EQ(bpdu->endIndex[Field::v1Length], 53u);
    EXPECT_EQ(fieldHex(*bpdu, frame.data, Field::flags), "7c");
    EXPECT_EQ(fieldHex(*bpdu, frame.data, Field::bridgeId), "8000665544332211");
    EXPECT_EQ(fieldHex(*bpdu, frame.data, Field::maxAge), "1400");
    EXPECT_EQ(fieldHex(*bpdu, frame.data, Field::forwardDelay), "0f00");
}

TEST(Bpdu, FlagsTimesAndShortInput) {
    const std::string rest = "8000001122334455 00000004 8000665544332211 8001 0000 1400 0180 0f00 00";
    const std::pair<std::string, std::string> flags[] = {{"7c", "AGR FOR "}, {"01", "TCH "}, {"00", ""},
                                                         {"ff", "TCA AGR FOR TCH "}};
    for (const auto& [byte, text] : flags) {
        auto bpdu = Bpdu::decode(hexAt(17, "0000 02 02" + byte + rest));
        ASSERT_TRUE(bpdu);
        EXPECT_EQ(bpdu->flagsText(), text) << byte;
        EXPECT_DOUBLE_EQ(bpdu->helloTime, 1.5);
    }
    auto zero = Bpdu::decode(hexAt(0, std::string(72, '0')));
    EXPECT_NE(zero->description().find("rootID 0x0 bridgeID 0x0"), std::string::npos);
    EXPECT_NE(zero->verboseDescription().find("flags  portRole 0"), std::string::npos);

    TestSupport::LogCapture log;
    EXPECT_FALSE(Bpdu::decode(hexAt(17, "0000 02 02" + std::string(62, '0'))));   // 35 bytes of rapid STP
    EXPECT_FALSE(Bpdu::decode(hexAt(17, "0000 00 00" + std::string(60, '0'))));   // 34 of a configuration
    EXPECT_FALSE(Bpdu::decode(hexAt(17, "0000 00")));                            // 3 of a notification
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: Unable to decode Bpdu from 35 bytes",
                                                        "error: Unable to decode Bpdu from 34 bytes",
                                                        "error: Unable to decode Bpdu from 3 bytes"}));
}

TEST(Bpdu, EachTypeReadsItsOwnLength) {
    // A configuration BPDU is 35 bytes: it decodes unpadded, and has no version-1 length.
    ByteSlice config = hexAt(17, "0000 00 00 01 8000001122334455 00000004 8000665544332211 8001 0000 1400 0200 0f00");
    auto unpadded = Bpdu::decode(config);
    ASSERT_TRUE(unpadded);
    EXPECT_TRUE(unpadded->flagTopChange);
    EXPECT_DOUBLE_EQ(unpadded->forwardDelay, 15.0);
    EXPECT_FALSE(unpadded->startIndex.contains(Field::v1Length));
    EXPECT_EQ(unpadded->endIndex[Field::forwardDelay], 17u + 35u);
    // A topology change notification in a padded frame: the padding is not read as fields.
    Frame tcn = frameOf("0180c2000000001122334455 0007 424203 0000 00 80" + std::string(78, 'f'));
    const Bpdu* notification = tcn.layer3.bpdu();
    ASSERT_TRUE(notification) << tcn.description();
    EXPECT_TRUE(notification->isTopologyChangeNotification());
    EXPECT_EQ(notification->rootId, 0u);
    EXPECT_FALSE(notification->startIndex.contains(Field::flags));
    EXPECT_EQ(notification->startIndex.size(), 3u);
    EXPECT_EQ(notification->data.count(), 43u);  // padding included, as for every BPDU
    EXPECT_EQ(notification->description(), "BPDU version 0 type 128 TCN");
    EXPECT_EQ(notification->verboseDescription(), "BPDU protocol 0 version 0 type 128 TCN 43 bytes");
    EXPECT_EQ(tcn.paddingBytes, 39);
}

// MARK: CDP

TEST(Cdp, SwitchAdvertisement) {
    Frame frame = frameOf(
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
        } catch (const EtherCaptureError& error) {
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

// MARK: LLDP

TEST(Lldp, SwitchAdvertisement) {
    Frame frame = frameOf(
        "0180c200000e00112233445588cc02070400112233445504090567652d302f302f31060200780a08636f72652d7377310c0e457861"
        "6d706c65204f5320312e300e0400140014100c05010a000001020000000300fe060080c20100640000");
    const Lldp* lldp = frame.layer3.lldp();
    ASSERT_TRUE(lldp) << frame.description();
    std::vector<std::tuple<std::string, std::size_t, std::size_t>> values;
    for (const auto& v : lldp->values) values.emplace_back(v.description(), *v.startIndex, *v.endIndex);
    const std::vector<std::tuple<std::string, std::size_t, std::size_t>> expected = {
        {"Chassis Id MAC Address 00:11:22:33:44:55", 14, 23},
        {"Port Id Interface Name ge-0/0/1", 23, 34},
        {"TTL 120", 34, 38},
        {"System Name core-sw1", 38, 48},
        {"System Name Example OS 1.0", 48, 64},
        {"capabilityMacBridge", 66, 68},
        {"capabilityRouter", 66, 68},
        {"enabledMacBridge", 68, 70},
        {"enabledRouter", 68, 70},
        {"ManagementAddress 10.0.0.1 InterfaceSubtype 2 interface 3 oid ", 70, 84},
        {"OUI 00:80:c2 subType 1 \\0d", 84, 92},
        {"End Of LLDP", 92, 94},
    };
    EXPECT_EQ(values, expected);
    EXPECT_EQ(frame.layer3.description(), "LLDP 12 TLV values");
    EXPECT_EQ(lldp->verboseDescription().substr(0, 47), "LLDP Chassis Id MAC Address 00:11:22:33:44:55 P");
    EXPECT_EQ(lldp->verboseDescription().back(), ' ');
    EXPECT_EQ(lldp->values[0].lldpType, LldpType(lldp::ChassisId{4, "00:11:22:33:44:55"}));
    EXPECT_EQ(std::get<lldp::ManagementAddressIPv4>(lldp->values[9].lldpType).interface, 3);
    EXPECT_TRUE(frame.layer4()->isNoLayer4());
}

TEST(Lldp, ValuesAndRefusals) {
    struct Case {
        const char* name;
        std::string tlv;
        std::optional<std::string> text;
        std::string log;
    };
    const Case cases[] = {
        {"end", "0000", "End Of LLDP", ""},
        {"port id subtype 3", "0407 03 b07fb95d8ed2", "Port Id MAC Address b0:7f:b9:5d:8e:d2", ""},
        {"chassis network address", "0206 05 01 c0a80001", "Chassis Id Network Address 192.168.0.1", ""},
        {"port description", "0804 65746830", "Port Description eth0", ""},
        {"unknown type 9", "1200", "Unknown LLDP TLV Type 9", ""},
        {"oui with escapes", "fe08 0012bb 02 22 0a e9 41", std::nullopt, ""},
        {"oui text", "fe07 0012bb 02 5c2227", "OUI 00:12:bb subType 2 \\\\\\\"\\'", ""},
        {"oui unicode", "fe07 0012bb 02 41c3a9", "OUI 00:12:bb subType 2 A\\u{e9}", ""},
        {"ttl too short", "0601 00", std::nullopt, "error: LLDP: unable to decode type 3 data.count 3"},
        {"short mac", "0206 04 0011223344", std::nullopt, "error: LLDP: unable to decode type 1"},
        {"bad utf8", "0a02 c328", std::nullopt, "error: LLDP: unable to decode type 5"},
        {"family 3", "0206 05 03 c0a80001", std::nullopt, "error: LLDP: unable to decode type 1 addressType 3"},
        {"no subtype", "0200", std::nullopt, "error: LLDP: unable to decode type 1 data.count 2"},
        {"no family byte", "0201 05", std::nullopt, "error: LLDP: unable to decode type 1"},
        {"short oui", "fe03 0012bb", std::nullopt, "error: LLDP: unable to decode type 127 data.count 5"},
        {"mgmt A=6 with room", "100d 06010a0000010002 00000003 00", std::nullopt,
         "error: LLDP: unable to decode type 8 data.count 15 addressLength 6 addressSubtype 1"},
        {"mgmt A=6 without room", "100c 06010a00000102 00000003 00", std::nullopt,
         "error: LLDP: unable to decode type 8 data.count 14"},
        {"mgmt oid past the tlv", "100c 05010a000001 02 00000003 05", std::nullopt,
         "error: LLDP: unable to decode type 8 data.count 14 oidLength 5"},
        {"mgmt ipv6", "101b 1102 20010db8000000000000000000000001 02 00000007 03 2b0601",
         "ManagementAddress 2001:db8::1 InterfaceSubtype 2 interface 7 oid +\\u{6}\\u{1}", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestSupport::LogCapture log;
        auto value = LldpValue::decode(hexAt(14, c.tlv));
        if (std::string(c.name) == "oui with escapes") {
            // 22 0a e9 41 is not valid UTF-8 (e9 starts a sequence): the info is empty.
            ASSERT_TRUE(value);
            EXPECT_EQ(value->description(), "OUI 00:12:bb subType 2 ");
            continue;
        }
        EXPECT_EQ(value.has_value(), c.text.has_value());
        if (value && c.text) {
            EXPECT_EQ(value->description(), *c.text);
        }
        auto messages = log.messages();
        if (c.log.empty()) {
            EXPECT_TRUE(messages.empty());
        } else {
            EXPECT_EQ(messages, std::vector<std::string>{c.log});
        }
    }
    EXPECT_EQ(escapedASCII("a\tb\n\x01"), "a\\tb\\n\\u{1}");
}

TEST(Lldp, WireTextIsEscapedInEveryText) {
    // A system name that would set the terminal's clipboard (OSC 52) and one with a bell.
    auto name = LldpValue::decode(hexAt(0, "0a0b 1b5d35323b633b5a6d0707"));
    ASSERT_TRUE(name);
    EXPECT_EQ(name->description(), "System Name \\u{1b}]52;c;Zm\\u{7}\\u{7}");
    auto port = LldpValue::decode(hexAt(0, "0409 05 6574683009c3a900"));
    ASSERT_TRUE(port);
    EXPECT_EQ(port->description(), "Port Id Interface Name eth0\\té\\0");
}

TEST(EscapedText, ControlAndFormatCharactersOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain ASCII and \\ stay", "plain ASCII and \\ stay"},
        {"tab\tnew\nline\rnul", "tab\\tnew\\nline\\rnul"},
        {std::string("nul\0end", 7), "nul\\0end"},
        {"\x1b[2J\x7f", "\\u{1b}[2J\\u{7f}"},
        {"C1 \xc2\x9b", "C1 \\u{9b}"},                              // CSI in its 8-bit form
        {"bidi \xe2\x80\xae txt", "bidi \\u{202e} txt"},            // right-to-left override
        {"\xef\xbb\xbf" "BOM", "\\u{feff}BOM"},
        {"Montréal, 東京, 🌊", "Montréal, 東京, 🌊"},                      // printable non-ASCII stays
        {"broken \xc3 and \xed\xa0\x80", "broken \\x{c3} and \\x{ed}\\x{a0}\\x{80}"},  // not UTF-8
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(escapedText(in), out);
        EXPECT_EQ(needsEscaping(in), in != out);
    }
}

TEST(Lldp, CapabilitiesAndWalk) {
    auto caps = LldpValue::systemCapabilities(hexAt(64, "0e04 0014 0010"));
    ASSERT_EQ(caps.size(), 3u);
    EXPECT_EQ(caps[0].description(), "capabilityMacBridge");
    EXPECT_EQ(caps[1].description(), "capabilityRouter");
    EXPECT_EQ(caps[2].description(), "enabledRouter");
    EXPECT_EQ(caps[0].startIndex, 66u);
    EXPECT_EQ(caps[2].startIndex, 68u);
    EXPECT_EQ(caps[2].endIndex, 70u);
    auto reserved = LldpValue::systemCapabilities(hexAt(0, "0e04 1800 0000"));
    ASSERT_EQ(reserved.size(), 1u);
    EXPECT_EQ(reserved[0].lldpType, LldpType(lldp::CapabilityReserved{}));
    EXPECT_TRUE(LldpValue::systemCapabilities(hexAt(0, "0e02 0014")).empty());

    EXPECT_FALSE(Lldp::decode(hexAt(14, "00")));
    auto end = Lldp::decode(hexAt(14, "0000"));
    ASSERT_TRUE(end);
    ASSERT_EQ(end->values.size(), 1u);
    EXPECT_EQ(end->values[0].startIndex, 14u);
    EXPECT_EQ(end->values[0].endIndex, 16u);
    EXPECT_EQ(Lldp::decode(hexAt(14, "0000 0000 0000"))->values.size(), 3u);
    EXPECT_EQ(Lldp::decode(hexAt(14, "0000 00"))->values.size(), 1u);  // one byte left over is ignored
    EXPECT_FALSE(Lldp::decode(hexAt(14, "060200780a08636f7265")));      // a length past the data drops it all
    // A refused TLV is skipped and the walk goes on.
    auto skipped = Lldp::decode(hexAt(14, "0601 00 06020078"));
    ASSERT_TRUE(skipped);
    ASSERT_EQ(skipped->values.size(), 1u);
    EXPECT_EQ(skipped->values[0].description(), "TTL 120");
    EXPECT_EQ(std::unordered_set<LldpValue>(skipped->values.begin(), skipped->values.end()).size(), 1u);
}
