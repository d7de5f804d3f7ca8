#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include "Hex.h"
#include "LogCapture.h"
#include "SampleFrames.h"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace ZuzizavAdiduDazorud;
using TestSupport::frameFromHex;
using TestSupport::hexAt;

TEST(Lldp, SwitchAdvertisement) {
    Frame frame = frameFromHex(
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
    // A length past the data ends the walk; the TLVs before it stay.
    auto cut = Lldp::decode(hexAt(14, "060200780a08636f7265"));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->values.size(), 1u);
    EXPECT_EQ(cut->status, DecodeStatus::truncated);
    EXPECT_TRUE(cut->verboseDescription().ends_with("[truncated]")) << cut->verboseDescription();
    // A refused TLV is skipped and the walk goes on.
    auto skipped = Lldp::decode(hexAt(14, "0601 00 06020078"));
    ASSERT_TRUE(skipped);
    ASSERT_EQ(skipped->values.size(), 1u);
    EXPECT_EQ(skipped->values[0].description(), "TTL 120");
    EXPECT_EQ(std::unordered_set<LldpValue>(skipped->values.begin(), skipped->values.end()).size(), 1u);
}

TEST(Lldp, NamesFromTheTables) {
    const std::pair<std::uint8_t, std::string_view> tlvs[] = {
        {0, "End Of LLDPDU"}, {1, "Chassis ID"}, {8, "Management Address"}, {127, "Organizationally Specific"},
        {9, "Reserved"},      {126, "Reserved"}, {255, "Reserved"},
    };
    for (const auto& [type, name] : tlvs) EXPECT_EQ(lldpTlvName(type), name) << int(type);
    EXPECT_EQ(chassisSubtypeName(4), "MAC Address");
    EXPECT_EQ(chassisSubtypeName(7), "Locally Assigned");
    EXPECT_EQ(chassisSubtypeName(8), "Reserved");
    EXPECT_EQ(portSubtypeName(5), "Interface Name");
    EXPECT_EQ(portSubtypeName(200), "Reserved");
}
