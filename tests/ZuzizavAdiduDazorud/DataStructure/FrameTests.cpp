#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include "CaptureFile.h"
#include "Hex.h"
#include "SampleFrames.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include <set>

using namespace ZuzizavAdiduDazorud;
using TestSupport::fieldHex;
using TestSupport::hex;

namespace {

const std::string macs = "020000000001 020000000002";
// IPv4 10.0.0.1 > 10.0.0.2 UDP 8001 > 80, total length 28.
const std::string ipv4Udp = "4500001c 00010000 4011 0000 0a000001 0a000002  1f41 0050 0008 0000";

Frame decode(const std::string& text, std::optional<std::int64_t> number = 1) {
    ByteSlice bytes = hex(text);
    return Frame(bytes, Timeval{1700000000, 250000}, static_cast<std::int64_t>(bytes.count()), number);
}

}  // namespace

TEST(Frame, ShortFramesAreInvalidAndLogged) {
    TestSupport::LogCapture log;
    Frame frame = decode(std::string(34, '1'));  // 17 bytes
    EXPECT_EQ(frame.frameFormat, FrameFormat::invalid);
    EXPECT_EQ(frame.srcmac, "unknown");
    EXPECT_EQ(frame.dstmac, "unknown");
    ASSERT_TRUE(frame.layer3.unknown());
    EXPECT_TRUE(frame.layer3.unknown()->data.empty());
    EXPECT_FALSE(frame.layer4());
    EXPECT_TRUE(frame.startIndex.empty());
    EXPECT_EQ(log.messages(),
              (std::vector<std::string>{"error: Error: short frame detected size 17 unable to analyze"}));
    EXPECT_EQ(frame.description(), "unknown unknown invalid unknown unknown 0 bytes ");

    Frame eighteen = decode(macs + "0800 4500 0000");
    EXPECT_EQ(eighteen.frameFormat, FrameFormat::ethernet);
    EXPECT_EQ(eighteen.srcmac, "02:00:00:00:00:02");
    EXPECT_EQ(eighteen.dstmac, "02:00:00:00:00:01");
}

TEST(Frame, FormatBoundaryAt1500) {
    Frame ieee = decode(macs + "05dc 424203" + std::string(86, '0'));
    EXPECT_EQ(ieee.frameFormat, FrameFormat::ieee8023);
    EXPECT_EQ(ieee.ieeeLength, 1500u);
    EXPECT_FALSE(ieee.ethertype);

    Frame ethernet = decode(macs + "05dd 00112233");
    EXPECT_EQ(ethernet.frameFormat, FrameFormat::ethernet);
    EXPECT_EQ(ethernet.ethertype, 0x05ddu);
    ASSERT_TRUE(ethernet.layer3.unknown());
    EXPECT_EQ(ethernet.layer3.unknown()->data.startIndex(), 14u);
    EXPECT_EQ(ethernet.layer3.unknown()->data.count(), 4u);
}

TEST(Frame, EthernetIPv4PaddingIsCutBeforeTheIPDecoder) {
    Frame frame = decode(macs + "0800" + ipv4Udp + std::string(36, '0'));  // 60 bytes
    EXPECT_EQ(frame.paddingBytes, 18);
    ASSERT_TRUE(frame.padding);
    EXPECT_EQ(frame.padding->startIndex(), 42u);
    EXPECT_EQ(frame.startIndex[Field::padding], 42u);
    EXPECT_EQ(frame.endIndex[Field::padding], 60u);
    const IPv4* ip = frame.layer3.ipv4();
    ASSERT_TRUE(ip);
    EXPECT_EQ(ip->data.count(), 28u);
    EXPECT_EQ(ip->data.startIndex(), 14u);
    ASSERT_TRUE(frame.layer4() && frame.layer4()->udp());
    EXPECT_TRUE(frame.layer4()->udp()->payload.empty());
    EXPECT_EQ(frame.description(),
              "02:00:00:00:00:02 02:00:00:00:00:01 ethernet 0x0800 IPv4 10.0.0.1 > 10.0.0.2 ipProt 17 8001 > 80 "
              "length 8");
    EXPECT_EQ(frame.verboseDescription(),
              "02:00:00:00:00:02 > 02:00:00:00:00:01 ethernet Ethertype 0x0800 18 bytes padding ");
}

TEST(Frame, IPv4ThatFailsKeepsItsPaddingInTheUnknownBytes) {
    Frame frame = decode(macs + "0800 4300001c" + std::string(72, '0'));  // ihl 3, 54 bytes
    ASSERT_TRUE(frame.layer3.unknown());
    EXPECT_EQ(frame.layer3.unknown()->data.count(), 40u);
    EXPECT_EQ(frame.paddingBytes, 12);
}

TEST(Frame, Ieee8023LengthAndPadding) {
    // LEN 38: LLC (3 bytes) and 35 bytes of data, then 8 bytes of padding.
    Frame frame = decode(macs + "0026 e0e003" + std::string(70, 'a') + std::string(16, '0'));
    EXPECT_EQ(frame.frameFormat, FrameFormat::ieee8023);
    EXPECT_EQ(frame.ieeeDsap, 0xe0);
    EXPECT_EQ(frame.ieeeSsap, 0xe0);
    EXPECT_EQ(frame.ieeeControl, 0x03);
    EXPECT_EQ(frame.paddingBytes, 8);
    EXPECT_EQ(frame.startIndex[Field::padding], 52u);
    EXPECT_EQ(frame.endIndex[Field::padding], 60u);
    // The 802.3 decoders get the bytes up to the end of the frame, padding included.
    ASSERT_TRUE(frame.layer3.unknown());
    EXPECT_EQ(frame.layer3.unknown()->data.startIndex(), 17u);
    EXPECT_EQ(frame.layer3.unknown()->data.endIndex(), 60u);
    EXPECT_EQ(frame.description(), "02:00:00:00:00:02 02:00:00:00:00:01 ieee8023 0xe0e0 unknown 43 bytes ");
    EXPECT_EQ(frame.verboseDescription(),
              "02:00:00:00:00:02 > 02:00:00:00:00:01 ieee8023 LEN 38 DSAP 0xe0 SSAP 0xe0 CONTROL 0x03 8 bytes "
              "padding ");

    Frame small = decode(macs + "0004 060603 00");
    EXPECT_EQ(small.description(), "02:00:00:00:00:02 02:00:00:00:00:01 ieee8023 0x 606 unknown 1 bytes ");
}

TEST(Frame, SnapHeaders) {
    Frame cdp = decode(macs + "0020 aaaa03 00000c 2000 0102030405");
    EXPECT_EQ(cdp.snapOrg, 0x00000cu);
    EXPECT_EQ(cdp.snapType, 0x2000u);
    EXPECT_EQ(fieldHex(cdp, cdp.data, Field::snapOrg), "00000c");
    EXPECT_EQ(fieldHex(cdp, cdp.data, Field::snapType), "2000");
    ASSERT_TRUE(cdp.layer3.unknown());
    EXPECT_EQ(cdp.layer3.unknown()->data.startIndex(), 22u);
    EXPECT_EQ(cdp.verboseDescription(),
              "02:00:00:00:00:02 > 02:00:00:00:00:01 ieee8023 LEN 32 DSAP 0xaa SSAP 0xaa CONTROL 0x03 SNAP Org 0x     "
              "c  SType 0x2000  [malformed] ");  // 32 said, 13 there

    Frame other = decode(macs + "0020 aaaa03 000000 0800 0102");
    EXPECT_EQ(other.snapOrg, 0u);
    ASSERT_TRUE(other.layer3.unknown());
    EXPECT_EQ(other.layer3.unknown()->data.startIndex(), 22u);
    EXPECT_EQ(other.layer3.unknown()->data.count(), 2u);

    // SNAP fields past the end of the frame are not read.
    Frame cut = decode(macs + "0020 aaaa03 0000");
    EXPECT_FALSE(cut.snapOrg);
    EXPECT_FALSE(cut.snapType);
    ASSERT_TRUE(cut.layer3.unknown());
    EXPECT_EQ(cut.layer3.unknown()->data.startIndex(), 17u);
}

TEST(Frame, NumbersComeFromTheCounterUnlessGiven) {
    Frame::resetFrameCounter();
    EXPECT_EQ(decode(macs + "0800 0000", std::nullopt).frameNumber, 1);
    EXPECT_EQ(decode(macs + "0800 0000", std::nullopt).frameNumber, 2);
    EXPECT_EQ(decode(macs + "0800 0000", 77).frameNumber, 77);
    EXPECT_EQ(decode(macs + "0800 0000", std::nullopt).frameNumber, 3);
}

TEST(Frame, IdentityAndDate) {
    Frame a = decode(macs + "0800 0000");
    Frame b = decode(macs + "0800 0000");
    EXPECT_NE(a.id(), b.id());
    EXPECT_EQ(a.id(), a.id());  // made once
    EXPECT_EQ(a.id().description().size(), 36u);
    EXPECT_EQ(a.date.time_since_epoch().count(), 1700000000250000);
}

TEST(Frame, FormatRawValues) {
    EXPECT_EQ(frameFormatFromString("ieee8023"), FrameFormat::ieee8023);
    EXPECT_EQ(frameFormatFromString("ethernet"), FrameFormat::ethernet);
    EXPECT_EQ(frameFormatFromString("invalid"), FrameFormat::invalid);
    EXPECT_FALSE(frameFormatFromString("Ethernet"));
}

TEST(SampleFrames, DecodeAsDescribed) {
    struct Case {
        const Frame& frame;
        std::size_t bytes;
        std::int64_t originalLength;
        std::string description;
    };
    const Case cases[] = {
        {TestSupport::sampleTcpFrame(), 66, 200,
         "c8:69:cd:2c:0d:50 68:5b:35:89:0a:04 ethernet 0x0800 IPv4 192.168.0.16 > 192.168.0.10 ipProt 6 TCP 49153 > "
         "56958 flags A 12 bytes"},
        {TestSupport::sampleMdnsFrame(), 109, 109,
         "c8:69:cd:2c:0d:50 01:00:5e:00:00:fb ethernet 0x0800 IPv4 192.168.0.35 > 224.0.0.251 ipProt 17 5353 > 5353 "
         "length 75"},
        {TestSupport::sampleIcmpFrame(), 98, 98,
         "68:5b:35:89:0a:04 b0:7f:b9:5d:8e:d2 ethernet 0x0800 IPv4 192.168.0.10 > 4.2.2.1 ipProt 1 ICMPv4 Echo Request id "
         "4997 sequence 0"},
        {TestSupport::sampleIcmp6Frame(), 78, 78,
         "68:5b:35:89:0a:04 b0:7f:b9:5d:8e:d2 ethernet 0x86dd IPv6 fe80::1867:ff5d:d25b:ad67 > "
         "fe80::b27f:b9ff:fe5d:8ed2 nextHeader 58 ICMPv6 type Neighbor Advertisement Target fe80::1867:ff5d:d25b:ad67 "
         "router:false solicited:true override:false"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.frame.data.count(), c.bytes);
        EXPECT_EQ(c.frame.originalLength, c.originalLength);
        EXPECT_EQ(c.frame.paddingBytes, 0);
        EXPECT_EQ(c.frame.description(), c.description);
    }
    EXPECT_EQ(&TestSupport::sampleTcpFrame(), &TestSupport::sampleTcpFrame());
}

TEST(SampleFrames, PositionsSliceOutTheFieldBytesOfTheDump) {
    const Frame& frame = TestSupport::sampleTcpFrame();
    const ByteSlice& bytes = frame.data;
    EXPECT_EQ(fieldHex(frame, bytes, Field::dstmac), "685b35890a04");
    EXPECT_EQ(fieldHex(frame, bytes, Field::srcmac), "c869cd2c0d50");
    EXPECT_EQ(fieldHex(frame, bytes, Field::ethertype), "0800");
    EXPECT_FALSE(frame.startIndex.contains(Field::etherType));

    const IPv4& ip = *frame.layer3.ipv4();
    EXPECT_EQ(fieldHex(ip, bytes, Field::version), "45");
    EXPECT_EQ(fieldHex(ip, bytes, Field::totalLength), "0034");
    EXPECT_EQ(fieldHex(ip, bytes, Field::identification), "1c46");
    EXPECT_EQ(fieldHex(ip, bytes, Field::fragmentOffset), "4000");
    EXPECT_EQ(fieldHex(ip, bytes, Field::ttl), "40");
    EXPECT_EQ(fieldHex(ip, bytes, Field::ipProtocol), "06");
    EXPECT_EQ(fieldHex(ip, bytes, Field::headerChecksum), "9d13");
    EXPECT_EQ(fieldHex(ip, bytes, Field::sourceIP), "c0a80010");
    EXPECT_EQ(fieldHex(ip, bytes, Field::destinationIP), "c0a8000a");

    const Tcp& tcp = *ip.layer4.tcp();
    EXPECT_EQ(fieldHex(tcp, bytes, Field::sourcePort), "c001");
    EXPECT_EQ(fieldHex(tcp, bytes, Field::destinationPort), "de7e");
    EXPECT_EQ(fieldHex(tcp, bytes, Field::sequenceNumber), "2d3a1e6b");
    EXPECT_EQ(fieldHex(tcp, bytes, Field::acknowledgementNumber), "8f6a2c11");
    EXPECT_EQ(fieldHex(tcp, bytes, Field::dataOffset), "80");
    EXPECT_EQ(fieldHex(tcp, bytes, Field::flags), "10");
    EXPECT_EQ(fieldHex(tcp, bytes, Field::window), "0804");
    EXPECT_EQ(fieldHex(tcp, bytes, Field::payload), "0101080a0011a2b33c4d5e6f");

    // The dump's offsets are the same coordinates: 0x0020 starts with the destination's last two bytes.
    EXPECT_NE(frame.hexdump().find("0x0020 000a c001 de7e"), std::string::npos);
}

TEST(FieldNames, UniqueAndInStepWithTheEnumeration) {
    // Each name once, and the enumeration and the names made from one list: a field's name is its case's.
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < fieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        names.insert(toString(field));
        EXPECT_EQ(toString(field), fieldNames[i]);
    }
    EXPECT_EQ(names.size(), fieldCount);
    EXPECT_EQ(toString(Field::srcmac), "srcmac");
    EXPECT_EQ(toString(Field::groupRecords), "groupRecords");
}

TEST(Registration, EveryRecordInTheFolderIsInALayersList) {
    // A record left out of its layer's list would compile, and decode as unknown: every header that
    // declares a record is named in Layer3.h or Layer4.h.
    namespace fs = std::filesystem;
    const fs::path folder = TIDEMARK_DECODER_DIR;
    auto read = [](const fs::path& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string lists = read(folder / "Layer3.h") + read(folder / "Layer4.h");
    const std::regex declared(R"(struct (\w+) : Record<\1>)");
    int records = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".h") continue;
        const std::string text = read(entry.path());
        for (auto it = std::sregex_iterator(text.begin(), text.end(), declared); it != std::sregex_iterator(); ++it) {
            ++records;
            const std::string name = (*it)[1];
            EXPECT_TRUE(std::regex_search(lists, std::regex("using Layer[34] = Layer<[^;]*\\b" + name + "\\b")))
                << name << " (" << entry.path().filename() << ") is in no layer's list";
        }
    }
    EXPECT_GE(records, 11);
}

TEST(LayerTexts, UnknownAndNone) {
    EXPECT_EQ(Unknown{hex("0102")}.description(), "unknown 2 bytes");
    EXPECT_EQ(Unknown{hex("0102")}.verboseDescription(), "unknown 2 bytes");
    EXPECT_EQ(None{hex("01")}.description(), "none 1 bytes");
    EXPECT_EQ(None{hex("01")}.hexdump(), "0x0000 01\n");
    EXPECT_EQ(Layer4(NoLayer4{}).description(), "");
    EXPECT_EQ(Layer4(NoLayer4{}).hexdump(), "");
    Layer3 unknown(Unknown{hex("aabb")});
    EXPECT_EQ(unknown.verboseDescription(), "unknown 2 bytes");
    EXPECT_EQ(unknown.hexdump(), "0x0000 aabb \n");
}

namespace {

// IPv6 2001:db8::1 > 2001:db8::2, UDP 8001 > 80 with no data.
const std::string ipv6Udp =
    "6000 0000 0008 1140 20010db8000000000000000000000001 20010db8000000000000000000000002 1f41 0050 0008 0000";

Frame decodeAs(LinkType type, const std::string& text) {
    ByteSlice bytes = hex(text);
    return Frame(type, bytes, Timeval{}, static_cast<std::int64_t>(bytes.count()), 1);
}

}  // namespace

TEST(Frame, EveryLinkType) {
    struct Case {
        const char* name;
        LinkType type;
        std::string bytes;
        FrameFormat format;
        std::string description;
        std::vector<std::pair<Field, std::string>> fields;  // the frame's own fields, as hex
        std::size_t layer3Start;
    };
    const std::string udp4 = "IPv4 10.0.0.1 > 10.0.0.2 ipProt 17 8001 > 80 length 8";
    const std::string udp6 = "IPv6 2001:db8::1 > 2001:db8::2 nextHeader 17 8001 > 80 length 8";
    const Case cases[] = {
        {"ethernet", LinkType::ethernet, macs + "0800" + ipv4Udp, FrameFormat::ethernet,
         "02:00:00:00:00:02 02:00:00:00:00:01 ethernet 0x0800 " + udp4, {{Field::ethertype, "0800"}}, 14},
        {"802.11 is read as Ethernet", LinkType::ieee80211, macs + "0800" + ipv4Udp, FrameFormat::ethernet,
         "02:00:00:00:00:02 02:00:00:00:00:01 ethernet 0x0800 " + udp4, {}, 14},
        {"Linux cooked", LinkType::linuxSll, "0000 0001 0006 02000000000a 0000 0800" + ipv4Udp, FrameFormat::linuxSll,
         "02:00:00:00:00:0a In linuxSll 0x0800 " + udp4,
         {{Field::packetType, "0000"},
          {Field::linkHardwareType, "0001"},
          {Field::linkAddressLength, "0006"},
          {Field::linkAddress, "02000000000a"},
          {Field::linkProtocol, "0800"}},
         16},
        {"Linux cooked without an address", LinkType::linuxSll, "0004 fffe 0000 0000000000000000 86dd" + ipv6Udp,
         FrameFormat::linuxSll, "unknown Out linuxSll 0x86dd " + udp6,
         {{Field::linkHardwareType, "fffe"}, {Field::linkAddress, ""}}, 16},
        {"Linux cooked v2", LinkType::linuxSll2, "86dd 0000 00000002 0001 04 06 020000000001 0000" + ipv6Udp,
         FrameFormat::linuxSll2, "02:00:00:00:00:01 Out linuxSll2 0x86dd " + udp6,
         {{Field::linkProtocol, "86dd"},
          {Field::interfaceIndex, "00000002"},
          {Field::linkHardwareType, "0001"},
          {Field::packetType, "04"},
          {Field::linkAddressLength, "06"},
          {Field::linkAddress, "020000000001"}},
         20},
        {"Linux cooked 802.2 frame", LinkType::linuxSll, "0001 0001 0006 0180c2000000 0000 0004 424203 0000 00 80",
         FrameFormat::linuxSll, "01:80:c2:00:00:00 B linuxSll 0x4242 BPDU version 0 type 128 TCN ",
         {{Field::ieeeDsap, "42"}, {Field::ieeeSsap, "42"}, {Field::ieeeControl, "03"}}, 19},
        {"raw IPv4 (file)", LinkType::rawFile, ipv4Udp, FrameFormat::rawIp, "rawIp " + udp4, {}, 0},
        {"raw IPv6 (live)", LinkType::raw, ipv6Udp, FrameFormat::rawIp, "rawIp " + udp6, {}, 0},
        {"raw, neither version", LinkType::raw, "5500 0000", FrameFormat::rawIp, "rawIp unknown 4 bytes ", {}, 0},
        {"null, little-endian IPv4", LinkType::null, "02000000" + ipv4Udp, FrameFormat::nullLoopback,
         "nullLoopback 2 " + udp4, {{Field::addressFamily, "02000000"}}, 4},
        {"null, big-endian IPv6 (macOS)", LinkType::null, "0000001e" + ipv6Udp, FrameFormat::nullLoopback,
         "nullLoopback 30 " + udp6, {}, 4},
        {"null, unknown family", LinkType::null, "63000000 0102", FrameFormat::nullLoopback,
         "nullLoopback 99 unknown 2 bytes ", {}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Frame frame = decodeAs(c.type, c.bytes);
        EXPECT_EQ(frame.linkType, c.type);
        EXPECT_EQ(frame.frameFormat, c.format);
        EXPECT_EQ(frame.description(), c.description);
        for (const auto& [field, bytes] : c.fields) EXPECT_EQ(fieldHex(frame, frame.data, field), bytes) << toString(field);
        const auto layer3Start = frame.layer3.visit([](const auto& record) { return record.data.startIndex(); });
        EXPECT_EQ(layer3Start, c.layer3Start);
    }
    // An IPv4 packet on a cooked header: padding is cut as on Ethernet, positions are frame positions.
    Frame padded = decodeAs(LinkType::linuxSll, "0000 0001 0006 02000000000a 0000 0800" + ipv4Udp + "000000");
    EXPECT_EQ(padded.paddingBytes, 3);
    ASSERT_TRUE(padded.layer3.ipv4());
    EXPECT_EQ(padded.layer3.ipv4()->startIndex[Field::sourceIP], 28u);
    EXPECT_EQ(padded.verboseDescription(),
              "linuxSll packetType In hwType 1 addrLen 6 addr 02:00:00:00:00:0a protocol 0x0800 3 bytes padding ");
    Frame v2 = decodeAs(LinkType::linuxSll2, "86dd 0000 00000002 0001 04 06 020000000001 0000" + ipv6Udp);
    EXPECT_EQ(v2.verboseDescription(),
              "linuxSll2 packetType Out hwType 1 addrLen 6 addr 02:00:00:00:00:01 protocol 0x86dd ifIndex 2 ");
    ASSERT_TRUE(v2.cooked);
    EXPECT_EQ(v2.cooked->interfaceIndex, 2u);
    EXPECT_EQ(decodeAs(LinkType::null, "02000000" + ipv4Udp).verboseDescription(), "nullLoopback family 2 ");
    EXPECT_EQ(decodeAs(LinkType::rawFile, ipv4Udp).verboseDescription(), "rawIp ");
}

TEST(Frame, ShortAndUndecodableLinkTypes) {
    const std::pair<LinkType, std::string> shortFrames[] = {
        {LinkType::linuxSll, std::string(30, '0')},   // 15 of 16 header bytes
        {LinkType::linuxSll2, std::string(38, '0')},  // 19 of 20
        {LinkType::null, "020000"},
        {LinkType::raw, ""},
    };
    for (const auto& [type, bytes] : shortFrames) {
        TestSupport::LogCapture log;
        Frame frame = decodeAs(type, bytes);
        EXPECT_EQ(frame.frameFormat, FrameFormat::invalid);
        ASSERT_TRUE(frame.layer3.unknown());
        EXPECT_TRUE(frame.layer3.unknown()->data.empty());
        EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: Error: short frame detected size " +
                                                            std::to_string(bytes.size() / 2) + " unable to analyze"}));
    }
    // Radiotap (127) is not decoded: every byte stays unknown, nothing is logged.
    TestSupport::LogCapture log;
    Frame radiotap = decodeAs(static_cast<LinkType>(127), "00000800 00000000 01");
    EXPECT_EQ(radiotap.frameFormat, FrameFormat::invalid);
    ASSERT_TRUE(radiotap.layer3.unknown());
    EXPECT_EQ(radiotap.layer3.unknown()->data.count(), 9u);
    EXPECT_TRUE(log.messages().empty());
    EXPECT_FALSE(isDecodable(127));
    EXPECT_TRUE(isDecodable(276));
}

TEST(Frame, VlanTags) {
    // 802.1Q: PCP 1, VID 100; a 60-byte frame, so the IPv4 packet is followed by padding.
    Frame single = decode(macs + "8100 2064 0800" + ipv4Udp + std::string(28, '0'));
    ASSERT_EQ(single.vlans.size(), 1u);
    const Vlan& tag = single.vlans[0];
    EXPECT_EQ(tag.tpid, 0x8100);
    EXPECT_EQ(tag.priorityCode, 1);
    EXPECT_FALSE(tag.dropEligible);
    EXPECT_EQ(tag.vlanId, 100);
    EXPECT_EQ(tag.etherType, 0x0800);
    EXPECT_EQ(fieldHex(tag, single.data, Field::tpid), "8100");
    EXPECT_EQ(fieldHex(tag, single.data, Field::vlanId), "2064");
    EXPECT_EQ(fieldHex(tag, single.data, Field::priorityCode), "20");
    EXPECT_EQ(fieldHex(tag, single.data, Field::etherType), "0800");
    EXPECT_EQ(single.ethertype, 0x8100u);
    EXPECT_EQ(single.description(),
              "02:00:00:00:00:02 02:00:00:00:00:01 ethernet 0x8100 vlan 100 0x0800 IPv4 10.0.0.1 > 10.0.0.2 ipProt 17 "
              "8001 > 80 length 8");
    EXPECT_EQ(single.verboseDescription(), "02:00:00:00:00:02 > 02:00:00:00:00:01 ethernet Ethertype 0x8100 VLAN 100 "
                                           "PCP 1 DEI 0 Ethertype 0x0800 14 bytes padding ");
    EXPECT_EQ(fieldHex(single, single.data, Field::padding), std::string(28, '0'));
    ASSERT_TRUE(single.layer3.ipv4());
    EXPECT_EQ(single.layer3.ipv4()->startIndex[Field::sourceIP], 30u);

    // 802.1ad outside 802.1Q (QinQ), carrying IPv6.
    Frame twice = decode(macs + "88a8 00c8 8100 3064 86dd" + ipv6Udp);
    ASSERT_EQ(twice.vlans.size(), 2u);
    EXPECT_EQ(twice.vlans[0].tpid, 0x88a8);
    EXPECT_EQ(twice.vlans[0].vlanId, 200);
    EXPECT_EQ(twice.vlans[1].priorityCode, 1);
    EXPECT_TRUE(twice.vlans[1].dropEligible);
    EXPECT_EQ(twice.vlans[1].vlanId, 100);
    EXPECT_EQ(fieldHex(twice.vlans[1], twice.data, Field::tpid), "8100");
    EXPECT_EQ(twice.description(), "02:00:00:00:00:02 02:00:00:00:00:01 ethernet 0x88a8 vlan 200 0x8100 vlan 100 "
                                   "0x86dd IPv6 2001:db8::1 > 2001:db8::2 nextHeader 17 8001 > 80 length 8");

    // A third tag is not decoded; a tag cut short leaves the rest unknown.
    Frame thrice = decode(macs + "8100 0001 8100 0002 8100 0003 0800" + ipv4Udp);
    EXPECT_EQ(thrice.vlans.size(), 2u);
    ASSERT_TRUE(thrice.layer3.unknown());
    EXPECT_EQ(thrice.layer3.unknown()->data.startIndex(), 22u);
    Frame cut = decode(macs + "8100 0064 8100 00");
    EXPECT_EQ(cut.vlans.size(), 1u);
    ASSERT_TRUE(cut.layer3.unknown());
    EXPECT_EQ(cut.layer3.unknown()->data.startIndex(), 18u);
}

TEST(Frame, SnapCarriesEthertypesAndRarpDecodes) {
    // RFC 1042: SNAP with organisation 00-00-00 carries an ethertype, here IPv4.
    Frame snap = decode(macs + "0024 aaaa03 000000 0800" + ipv4Udp);
    EXPECT_EQ(snap.frameFormat, FrameFormat::ieee8023);
    ASSERT_TRUE(snap.layer3.ipv4());
    EXPECT_EQ(snap.layer3.ipv4()->data.startIndex(), 22u);
    EXPECT_EQ(snap.description(), "02:00:00:00:00:02 02:00:00:00:00:01 ieee8023 0xaaaa IPv4 10.0.0.1 > 10.0.0.2 "
                                  "ipProt 17 8001 > 80 length 8");
    const std::string rarp = "0001 0800 06 04 0003 020000000002 00000000 020000000002 00000000";
    Frame snapArp = decode(macs + "0024 aaaa03 000000 0806" + rarp);
    ASSERT_TRUE(snapArp.layer3.arp());
    Frame reverse = decode(macs + "8035" + rarp);
    ASSERT_TRUE(reverse.layer3.arp());
    EXPECT_EQ(reverse.layer3.arp()->operation, ArpOperation::rarpRequest);
    EXPECT_EQ(reverse.layer3.description(),
              "RARP Request sender 02:00:00:00:00:02 0.0.0.0 target 02:00:00:00:00:02 0.0.0.0");
}

TEST(Frame, RealCaptures) {
    // Fragmented ping on a loopback with a 1500-byte MTU: only the first fragment has the ICMP header.
    auto ping = TestSupport::readCaptureFile(TestSupport::testData("fragmented-ping.pcap"));
    ASSERT_EQ(ping.size(), 6u);
    ASSERT_TRUE(ping[0].layer4() && ping[0].layer4()->icmp4());
    EXPECT_EQ(ping[0].layer3.description(), "IPv4 127.0.0.1 > 127.0.0.1 ipProt 1");
    for (int i : {1, 2, 4, 5}) {
        ASSERT_TRUE(ping[i].layer4() && ping[i].layer4()->unknown()) << i;
        EXPECT_EQ(ping[i].layer3.ipv4()->fragmentOffset, i % 3 == 1 ? 185u : 370u);
    }
    EXPECT_EQ(ping[2].layer3.description(), "IPv4 127.0.0.1 > 127.0.0.1 ipProt 1 FragOff 370");
    EXPECT_EQ(ping[2].layer4()->unknown()->data.count(), 48u);

    // IGMP between two hosts: a v3 report of two group records answering a general query, and a v1
    // report once the host was told to speak IGMPv1.
    auto igmp = TestSupport::readCaptureFile(TestSupport::testData("igmp.pcap"));
    ASSERT_EQ(igmp.size(), 7u);
    const Igmp4* report = igmp[0].layer4()->igmp4();
    ASSERT_TRUE(report);
    EXPECT_EQ(report->verboseDescription(), "IGMPv3 membershipReportV3 groupRecords 2 [changeToExclude 239.2.2.2 "
                                            "sources 0] [changeToExclude 239.1.1.1 sources 0] checksump 0xf4f5");
    EXPECT_EQ(igmp[2].layer4()->description(), "IGMPv3 membershipQueryGeneral");
    EXPECT_EQ(igmp[6].layer4()->description(), "IGMPv1 membershipReportV1");
    EXPECT_EQ(igmp[6].layer4()->igmp4()->address.description(), "239.3.3.3");

    // MLD reports behind a hop-by-hop header with the router alert option, as a host sends them when an
    // interface comes up: MLDv2, then MLDv1.
    auto mld = TestSupport::readCaptureFile(TestSupport::testData("mld.pcap"));
    ASSERT_GE(mld.size(), 2u);
    const IPv6* withOptions = mld[0].layer3.ipv6();
    ASSERT_TRUE(withOptions);
    ASSERT_EQ(withOptions->extensionHeaders.size(), 1u);
    EXPECT_EQ(fieldHex(withOptions->extensionHeaders[0], mld[0].data, Field::options), "050200000100");
    EXPECT_EQ(mld[0].layer4()->description(), "ICMPv6 type Multicast Listener Report V2 records 1");
    std::size_t version1 = 0;
    for (const Frame& frame : mld) {
        const Icmp6* icmp = frame.layer4() ? frame.layer4()->icmp6() : nullptr;
        ASSERT_TRUE(icmp) << frame.description();
        if (icmp->type == 131) {
            ++version1;
            const auto* report = std::get_if<icmp6::MulticastListenerReport>(&icmp->icmpType);
            ASSERT_TRUE(report);
            EXPECT_EQ(report->address.description(), "ff02::1:ffa4:8ad8");
        }
    }
    EXPECT_EQ(version1, 2u);

    // Spanning tree between two bridges: 35-byte configuration BPDUs and a 4-byte notification.
    auto stp = TestSupport::readCaptureFile(TestSupport::testData("stp.pcap"));
    std::size_t notifications = 0;
    for (const Frame& frame : stp) {
        const Bpdu* bpdu = frame.layer3.bpdu();
        ASSERT_TRUE(bpdu) << frame.description();
        if (bpdu->isTopologyChangeNotification()) {
            ++notifications;
            EXPECT_EQ(bpdu->data.count(), 4u);
        } else {
            EXPECT_EQ(bpdu->data.count(), 35u);
            EXPECT_DOUBLE_EQ(bpdu->maxAge, 20.0);
            EXPECT_FALSE(bpdu->startIndex.contains(Field::v1Length));
        }
    }
    EXPECT_EQ(notifications, 1u);
}

// Each layer says whether its length fields agree with its bytes; a record cut short is truncated when
// the capture cut the frame (original length above the bytes) and malformed when it did not.
TEST(Frame, DecodeStatusOfEachLayer) {
    constexpr auto complete = DecodeStatus::complete;
    constexpr auto truncated = DecodeStatus::truncated;
    constexpr auto malformed = DecodeStatus::malformed;
    struct Row {
        const char* name;
        std::string bytes;  // after the MAC addresses
        std::size_t cutBy;  // original length less the bytes captured
        DecodeStatus link, layer3, layer4;
    };
    const Row rows[] = {
        {"whole", "0800" + ipv4Udp, 0, complete, complete, complete},
        {"IPv4 total length past the bytes", "0800 4500002c 00010000 4011 0000 0a000001 0a000002 1f41 0050 0008 0000",
         0, complete, malformed, complete},
        {"... cut by the capture", "0800 4500002c 00010000 4011 0000 0a000001 0a000002 1f41 0050 0008 0000", 16,
         complete, truncated, complete},
        {"UDP length below its header", "0800 4500001c 00010000 4011 0000 0a000001 0a000002 1f41 0050 0004 0000", 0,
         complete, complete, malformed},
        {"UDP length past the bytes, cut", "0800 4500001c 00010000 4011 0000 0a000001 0a000002 1f41 0050 0010 0000",
         8, complete, complete, truncated},
        {"TCP data offset below 5", "0800 45000028 00010000 4006 0000 0a000001 0a000002 c001 01bb 00000001 00000000 4010 ffff 0000 0000",
         0, complete, complete, malformed},
        {"TCP options past the bytes", "0800 45000028 00010000 4006 0000 0a000001 0a000002 c001 01bb 00000001 00000000 f010 ffff 0000 0000",
         0, complete, complete, malformed},
        {"IPv6 payload length past the bytes, cut",
         "86dd 60000000 0010 11 40" + std::string(64, '0') + "1f41 0050 0008 0000", 8, complete, truncated, complete},
        {"IPv6 extension header past the bytes", "86dd 60000000 0008 00 40" + std::string(64, '0') + "1101 0100 00000000",
         0, complete, malformed, complete},
        {"802.3 length past the bytes", "0020 f0f003 0102", 0, malformed, complete, complete},
        {"... cut by the capture", "0020 f0f003 0102", 27, truncated, complete, complete},
        {"CDP TLV past the bytes", "0013 aaaa03 00000c 2000 02b40000 0001000a 737700", 0, complete, malformed,
         complete},
        {"CDP TLV length below its header", "0013 aaaa03 00000c 2000 02b40000 0001 0004 0000 00", 0, complete,
         malformed, complete},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ByteSlice bytes = hex(macs + row.bytes);
        Frame frame(bytes, Timeval{}, static_cast<std::int64_t>(bytes.count() + row.cutBy), 1);
        EXPECT_EQ(frame.status, row.link);
        auto statusOf = [](const auto& layer) {
            return layer.visit([](const auto& record) {
                if constexpr (requires { record.status; }) return record.status;
                return complete;
            });
        };
        EXPECT_EQ(statusOf(frame.layer3), row.layer3);
        EXPECT_EQ(frame.layer4() ? statusOf(*frame.layer4()) : complete, row.layer4);
        const bool clean = row.link == complete && row.layer3 == complete && row.layer4 == complete;
        const std::string verbose = frame.verboseDescription() + frame.layer3.verboseDescription() +
                                    (frame.layer4() ? frame.layer4()->verboseDescription() : "");
        EXPECT_EQ(verbose.find("[malformed]") != std::string::npos || verbose.find("[truncated]") != std::string::npos,
                  !clean)
            << verbose;
    }
}

TEST(Frame, DecodingAgainReusesTheFrameAndGivesWhatANewFrameGives) {
    // Every kind of frame in turn, into one Frame that borrows each frame's bytes: the same texts and
    // fields as a new frame each time; and a copy of its own, kept after the bytes are gone, the same.
    const std::string frames[] = {
        macs + "0800 4500001c000040004011f96ec0a80001c0a8000222611f4100080000",
        macs + "86dd 6000000000083a40fe800000000000000000000000000001ff0200000000000000000000000000018000000000010001",
        macs + "8100 0064 0806 0001080006040001685b35890a04c0a80001000000000000c0a80002",
        macs + "0800 4500001c000040004011f96ec0a80001c0a8000222611f4100080000 deadbeef",  // padded
        macs + "0026 4242 03 0000000000800000000000000001000000008000000000000002800100001400020000",
        macs + "0800 45000014000100004006f96ec0a80001c0a80002",
    };
    Frame reused;
    std::vector<Frame> kept;
    for (int round = 0; round < 2; ++round) {
        for (const std::string& hex : frames) {
            SCOPED_TRACE(hex);
            auto bytes = std::make_unique<ByteSlice>(::hex(hex));
            reused.decode(LinkType::ethernet, bytes->bytes(), {1, 2}, static_cast<std::int64_t>(bytes->count()), 9);
            EXPECT_EQ(reused.data.bytes().data(), bytes->bytes().data());  // borrowed, not copied
            const Frame fresh(LinkType::ethernet, *bytes, {1, 2}, static_cast<std::int64_t>(bytes->count()), 9);
            ASSERT_NE(fresh.frameFormat, FrameFormat::invalid);
            EXPECT_EQ(reused.description(), fresh.description());
            EXPECT_EQ(reused.verboseDescription() + reused.layer3.verboseDescription(),
                      fresh.verboseDescription() + fresh.layer3.verboseDescription());
            EXPECT_EQ(reused.startIndex, fresh.startIndex);
            EXPECT_EQ(reused.endIndex, fresh.endIndex);
            // The records' positions too: a reused record's replace what the last frame's left.
            auto samePositions = [](const auto& layer, const auto& freshLayer) {
                ASSERT_EQ(layer.index(), freshLayer.index());
                layer.visit([&](const auto& record) {
                    using Record = std::decay_t<decltype(record)>;
                    if constexpr (requires { record.startIndex; }) {
                        EXPECT_EQ(record.startIndex, freshLayer.template as<Record>()->startIndex);
                        EXPECT_EQ(record.endIndex, freshLayer.template as<Record>()->endIndex);
                    }
                });
            };
            samePositions(reused.layer3, fresh.layer3);
            if (reused.layer4() && fresh.layer4()) samePositions(*reused.layer4(), *fresh.layer4());
            kept.push_back(reused.owning());
            bytes.reset();  // the borrowed bytes are gone; the kept copy stands on its own
            EXPECT_EQ(kept.back().description(), fresh.description());
            EXPECT_EQ(kept.back().layer3.hexdump(), fresh.layer3.hexdump());
            EXPECT_EQ(kept.back().frameNumber, 9);
        }
    }
}
