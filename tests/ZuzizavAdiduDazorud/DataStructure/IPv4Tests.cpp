#include <ZuzizavAdiduDazorud/DataStructure/IPv4.h>

#include "Hex.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

using namespace ZuzizavAdiduDazorud;
using TestSupport::fieldHex;
using TestSupport::hexAt;

namespace {
// version/ihl, dscp/ecn, total length; id, flags/offset; ttl, protocol, checksum; 10.0.0.1 > 10.0.0.2
std::string header(const std::string& versionIhl, const std::string& totalLength, const std::string& protocol) {
    return versionIhl + "b9" + totalLength + " 1234 6000 " + "40" + protocol + " abcd" + " 0a000001 0a000002";
}
}  // namespace

TEST(IPv4, DecodesEveryHeaderField) {
    ByteSlice data = hexAt(14, header("45", "0020", "11") + " 1f41 0050 000c 0000 deadbeef");
    auto ip = IPv4::decode(data);
    ASSERT_TRUE(ip);
    EXPECT_EQ(ip->version, 4);
    EXPECT_EQ(ip->ihl, 5);
    EXPECT_EQ(ip->dscp, 0xb9 >> 2);
    EXPECT_EQ(ip->ecn, 0x01);
    EXPECT_EQ(ip->totalLength, 32u);
    EXPECT_EQ(ip->identification, 0x1234u);
    EXPECT_FALSE(ip->evilBit);
    EXPECT_TRUE(ip->dontFragmentFlag);
    EXPECT_TRUE(ip->moreFragmentsFlag);
    EXPECT_EQ(ip->fragmentOffset, 0u);
    EXPECT_EQ(ip->ttl, 0x40);
    EXPECT_EQ(ip->ipProtocol, 17);
    EXPECT_EQ(ip->headerChecksum, 0xabcdu);
    EXPECT_EQ(ip->sourceIP.description(), "10.0.0.1");
    EXPECT_EQ(ip->destinationIP.description(), "10.0.0.2");
    EXPECT_FALSE(ip->options);
    EXPECT_TRUE(ip->padding.empty());
    ASSERT_TRUE(ip->layer4.udp());
    EXPECT_EQ(ip->layer4.udp()->payload.count(), 4u);

    EXPECT_EQ(ip->description(), "IPv4 10.0.0.1 > 10.0.0.2 ipProt 17");
    EXPECT_EQ(ip->verboseDescription(),
              "IPv4 10.0.0.1 > 10.0.0.2 IHL 5 DSCP 2e ECN 01 TotLen 32 id 4660 NoFrag true MoreFrag true FragOff 0 "
              "TTL 64 IpProt 17 HdrChecksum 43981  Padding 0 Bytes");
    EXPECT_EQ(ip->hexdump().substr(0, 12), "0x0000 45b9 ");
}

TEST(IPv4, PositionsAreFramePositions) {
    ByteSlice data = hexAt(14, header("46", "0018", "fe") + " 01020304");
    auto ip = IPv4::decode(data);
    ASSERT_TRUE(ip);
    struct Expected {
        Field field;
        std::size_t start, end;
        std::string bytes;
    };
    const Expected expected[] = {
        {Field::version, 14, 15, "46"},          {Field::ihl, 14, 15, "46"},
        {Field::dscp, 15, 16, "b9"},             {Field::ecn, 15, 16, "b9"},
        {Field::totalLength, 16, 18, "0018"},    {Field::identification, 18, 20, "1234"},
        {Field::flags, 20, 21, "60"},            {Field::fragmentOffset, 20, 22, "6000"},
        {Field::ttl, 22, 23, "40"},              {Field::ipProtocol, 23, 24, "fe"},
        {Field::headerChecksum, 24, 26, "abcd"}, {Field::sourceIP, 26, 30, "0a000001"},
        {Field::destinationIP, 30, 34, "0a000002"}, {Field::options, 34, 38, "01020304"},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(ip->startIndex[e.field], e.start) << toString(e.field);
        EXPECT_EQ(ip->endIndex[e.field], e.end) << toString(e.field);
        EXPECT_EQ(fieldHex(*ip, data, e.field), e.bytes) << toString(e.field);
    }
    EXPECT_EQ(ip->startIndex.size(), std::size(expected));
    EXPECT_NE(ip->verboseDescription().find("HdrChecksum 43981 OPTIONS Padding 0 Bytes"), std::string::npos);
    // Protocol 254 has no decoder: an empty payload would be unknown too.
    ASSERT_TRUE(ip->layer4.unknown());
    EXPECT_EQ(ip->layer4.unknown()->data.startIndex(), 38u);
}

TEST(IPv4, LengthRules) {
    struct Case {
        const char* name;
        std::string bytes;
        bool options;
        std::size_t paddingStart, paddingCount;  // paddingCount 0: no padding field
        std::size_t layer4Count;
    };
    const Case cases[] = {
        {"bare header", header("45", "0014", "06"), false, 0, 0, 0},
        {"ihl 15 on 20 bytes", header("4f", "0014", "06"), false, 0, 0, 0},
        {"ihl past the data", header("48", "0014", "11") + "00000000", false, 20, 4, 0},
        {"padding after total length", header("45", "002e", "fe") + std::string(80, '0'), false, 46, 14, 40},
        {"total length 0", header("45", "0000", "fe") + "aabb", false, 0, 22, 2},
        {"total length below 20", header("45", "000a", "fe"), false, 10, 10, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ByteSlice data = hexAt(0, c.bytes);
        auto ip = IPv4::decode(data);
        ASSERT_TRUE(ip);
        EXPECT_EQ(ip->options.has_value(), c.options);
        EXPECT_EQ(ip->padding.count(), c.paddingCount);
        EXPECT_EQ(ip->startIndex.contains(Field::padding), c.paddingCount > 0);
        if (c.paddingCount) {
            EXPECT_EQ(ip->startIndex[Field::padding], c.paddingStart);
            EXPECT_EQ(ip->endIndex[Field::padding], data.endIndex());
        }
        // The transport payload runs to the end of the slice, padding included.
        const Unknown* unknown = ip->layer4.unknown();
        ASSERT_TRUE(unknown);
        EXPECT_EQ(unknown->data.count(), c.layer4Count);
    }
}

TEST(IPv4, Refusals) {
    TestSupport::LogCapture log;
    EXPECT_FALSE(IPv4::decode(hexAt(14, header("45", "0014", "06")).slice(14, 33)));
    EXPECT_TRUE(log.messages().empty());
    EXPECT_FALSE(IPv4::decode(hexAt(14, header("43", "0014", "06"))));
    EXPECT_FALSE(IPv4::decode(hexAt(14, header("40", "0014", "06"))));
    // The version nibble must say 4: an IPv6 packet under ethertype 0x0800 is not taken for IPv4.
    EXPECT_FALSE(IPv4::decode(hexAt(14, header("65", "0014", "06"))));
    EXPECT_FALSE(IPv4::decode(hexAt(14, header("05", "0014", "06"))));
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: IPv4: Invalid ihl 3 detected",
                                                        "error: IPv4: Invalid ihl 0 detected",
                                                        "error: IPv4: Invalid version 6 detected",
                                                        "error: IPv4: Invalid version 0 detected"}));
}

TEST(IPv4, OnlyTheFirstFragmentCarriesATransportHeader) {
    // A ping of 3000 bytes, fragmented: the first fragment (MF, offset 0) holds the ICMP header, the
    // second (offset 185, 1480 bytes in) only data that happens to look like one.
    const std::string icmp = "0800 f7ff 0001 0001 61626364";
    struct Case {
        const char* name;
        std::string flagsAndOffset;
        bool transport;
        std::uint64_t offset;
        bool more;
        std::string description;
    };
    const Case cases[] = {
        {"first", "2000", true, 0, true, "IPv4 10.0.0.1 > 10.0.0.2 ipProt 1"},
        {"middle", "20b9", false, 185, true, "IPv4 10.0.0.1 > 10.0.0.2 ipProt 1 FragOff 185"},
        {"last", "0172", false, 370, false, "IPv4 10.0.0.1 > 10.0.0.2 ipProt 1 FragOff 370"},
        {"largest offset", "1fff", false, 0x1fff, false, "IPv4 10.0.0.1 > 10.0.0.2 ipProt 1 FragOff 8191"},
        {"DF, not a fragment", "4000", true, 0, false, "IPv4 10.0.0.1 > 10.0.0.2 ipProt 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto ip = IPv4::decode(hexAt(14, "4500 0020 1234" + c.flagsAndOffset + "4001 0000 0a000001 0a000002" + icmp));
        ASSERT_TRUE(ip);
        EXPECT_EQ(ip->fragmentOffset, c.offset);
        EXPECT_EQ(ip->moreFragmentsFlag, c.more);
        EXPECT_EQ(ip->layer4.icmp4() != nullptr, c.transport);
        if (!c.transport) {
            ASSERT_TRUE(ip->layer4.unknown());
            EXPECT_EQ(ip->layer4.unknown()->data.startIndex(), 34u);
            EXPECT_EQ(ip->layer4.unknown()->data.count(), 12u);
        }
        EXPECT_EQ(ip->description(), c.description);
    }
}

TEST(IPv4, TransportDispatch) {
    TestSupport::LogCapture log;
    auto tcp = IPv4::decode(hexAt(14, header("45", "0028", "06") + "c001de7e 00000001 00000002 5012ffff 00000000"));
    ASSERT_TRUE(tcp && tcp->layer4.tcp());
    EXPECT_EQ(tcp->layer4.tcp()->startIndex[Field::sourcePort], 34u);

    auto shortTcp = IPv4::decode(hexAt(14, header("45", "0018", "06") + "c001de7e"));
    ASSERT_TRUE(shortTcp && shortTcp->layer4.unknown());
    EXPECT_EQ(shortTcp->layer4.unknown()->data.count(), 4u);
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: incomplete TCP header detected"}));

    auto shortUdp = IPv4::decode(hexAt(14, header("45", "0018", "11") + "c001de7e"));
    ASSERT_TRUE(shortUdp && shortUdp->layer4.unknown());

    // A header with nothing after it never reaches a transport decoder.
    log = TestSupport::LogCapture();
    auto bare = IPv4::decode(hexAt(14, header("45", "0014", "06")));
    ASSERT_TRUE(bare && bare->layer4.unknown());
    EXPECT_TRUE(bare->layer4.unknown()->data.empty());
    EXPECT_TRUE(log.messages().empty());
}

// On its own, a packet whose total length runs past its bytes is truncated (no frame tells whether the
// capture cut it); one whose total length is below its header is malformed.
TEST(IPv4, StatusFromTheTotalLength) {
    const std::pair<std::string, DecodeStatus> cases[] = {
        {"4500001c 0001 0000 4011 0000 0a000001 0a000002 1f41 0050 0008 0000", DecodeStatus::complete},
        {"4500003c 0001 0000 4011 0000 0a000001 0a000002 1f41 0050 0008 0000", DecodeStatus::truncated},
        {"45000010 0001 0000 4011 0000 0a000001 0a000002 1f41 0050 0008 0000", DecodeStatus::malformed},
    };
    for (const auto& [bytes, status] : cases) {
        auto ip = IPv4::decode(TestSupport::hex(bytes));
        ASSERT_TRUE(ip) << bytes;
        EXPECT_EQ(ip->status, status) << bytes;
    }
}
