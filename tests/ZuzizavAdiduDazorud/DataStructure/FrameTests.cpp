#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include "Hex.h"
#include "SampleFrames.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

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
              "c  SType 0x2000  ");

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
    EXPECT_NE(a.id, b.id);
    EXPECT_EQ(a.id.description().size(), 36u);
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

TEST(FieldNames, AllSeventySixInOrder) {
    EXPECT_EQ(fieldCount, 76u);
    EXPECT_EQ(toString(Field::srcmac), "srcmac");
    EXPECT_EQ(toString(Field::etherType), "etherType");
    EXPECT_EQ(toString(Field::sources), "sources");
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < fieldCount; ++i) names.insert(toString(static_cast<Field>(i)));
    EXPECT_EQ(names.size(), 76u);
}

TEST(LayerTexts, UnknownAndNone) {
    EXPECT_EQ(Unknown{hex("0102")}.description(), "unknown 2 bytes");
    EXPECT_EQ(Unknown{hex("0102")}.verboseDescription(), "unknown 2 bytes");
    EXPECT_EQ(None{hex("01")}.description(), "none 1 bytes");
    EXPECT_EQ(None{hex("01")}.hexdump(), "0x0000 01\n");
    EXPECT_EQ(Layer4::noLayer4().description(), "");
    EXPECT_EQ(Layer4::noLayer4().hexdump(), "");
    Layer3 unknown(Unknown{hex("aabb")});
    EXPECT_EQ(unknown.verboseDescription(), "unknown 2 bytes");
    EXPECT_EQ(unknown.hexdump(), "0x0000 aabb \n");
}

TEST(FieldIndex, FlatListSemantics) {
    FieldIndex index;
    EXPECT_TRUE(index.empty());
    for (std::size_t i = 0; i < fieldCount; ++i) index.set(static_cast<Field>(i), i * 2);  // past the inline part
    index.set(Field::padding, 7);                                                            // overwrite, no new entry
    EXPECT_EQ(index.size(), fieldCount);
    EXPECT_EQ(index[Field::srcmac], 0u);
    EXPECT_EQ(index[Field::padding], 7u);
    EXPECT_EQ(index[Field::sources], (fieldCount - 1) * 2);
    FieldIndex a, b;
    a.set(Field::ttl, 1);
    a.set(Field::ihl, 2);
    b.set(Field::ihl, 2);
    b.set(Field::ttl, 1);
    EXPECT_EQ(a, b);
    b.set(Field::ttl, 3);
    EXPECT_FALSE(a == b);
}

// A layout behaves as markField() one field at a time, on the fast path (fresh index) and off it.
namespace {

struct Marked {
    FieldIndex startIndex;
    FieldIndex endIndex;
};

template <std::size_t N>
Marked markedOneByOne(const FieldLayout<N>& layout, std::size_t base, std::size_t end) {
    Marked marked;
    for (const auto& span : layout.spans) {
        markField(marked, span.field, base + span.from, span.to == toEnd ? end : base + span.to);
    }
    return marked;
}

constexpr auto three = fieldLayout({{Field::version, 0, 1}, {Field::ttl, 8, 9}, {Field::payload, 12, toEnd}});
constexpr auto repeated = fieldLayout({{Field::ttl, 0, 1}, {Field::ttl, 8, 9}});
constexpr auto seventeen = fieldLayout({
    {Field::srcmac, 0, 1}, {Field::dstmac, 1, 2}, {Field::ethertype, 2, 3}, {Field::ieeeLength, 3, 4},
    {Field::ieeeDsap, 4, 5}, {Field::ieeeSsap, 5, 6}, {Field::ieeeControl, 6, 7}, {Field::snapOrg, 7, 8},
    {Field::snapType, 8, 9}, {Field::etherType, 9, 10}, {Field::padding, 10, 11}, {Field::hardwareType, 11, 12},
    {Field::protocolType, 12, 13}, {Field::hardwareSize, 13, 14}, {Field::protocolSize, 14, 15},
    {Field::operation, 15, 16}, {Field::ttl, 16, 17},
});

}  // namespace

TEST(FieldIndex, LayoutMarksMatchSingleMarks) {
    static_assert(three.distinct && !repeated.distinct);
    {  // fresh
        Marked batch;
        markLayout(batch, three, 14, 60);
        const Marked one = markedOneByOne(three, 14, 60);
        EXPECT_EQ(batch.startIndex, one.startIndex);
        EXPECT_EQ(batch.endIndex, one.endIndex);
        EXPECT_EQ(batch.startIndex[Field::payload], 26u);
        EXPECT_EQ(batch.endIndex[Field::payload], 60u);
    }
    {  // already holding one of the fields: overwritten, not repeated
        Marked batch;
        markField(batch, Field::ttl, 1, 2);
        markLayout(batch, three, 14, 60);
        EXPECT_EQ(batch.startIndex.size(), 3u);
        EXPECT_EQ(batch.startIndex[Field::ttl], 22u);
    }
    {  // the same field twice: the last wins
        Marked batch;
        markLayout(batch, repeated, 0, 0);
        EXPECT_EQ(batch.startIndex.size(), 1u);
        EXPECT_EQ(batch.endIndex[Field::ttl], 9u);
    }
    {  // more than fit inline
        Marked batch;
        markLayout(batch, seventeen, 100, 200);
        const Marked one = markedOneByOne(seventeen, 100, 200);
        EXPECT_EQ(batch.startIndex.size(), 17u);
        EXPECT_EQ(batch.startIndex, one.startIndex);
        EXPECT_EQ(batch.endIndex, one.endIndex);
    }
}
