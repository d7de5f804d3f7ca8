#include <ZuzizavAdiduDazorud/DataStructure/IPv6.h>

#include "Hex.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

using namespace ZuzizavAdiduDazorud;
using TestSupport::fieldHex;
using TestSupport::hexAt;

namespace {
const std::string source = "fe800000000000001867ff5dd25bad67";
const std::string destination = "20010db8000000000000000000000001";
std::string header(const std::string& payloadLength, const std::string& nextHeader) {
    // version 6, traffic class 0xab, flow label 0xcdef1
    return "6abcdef1" + payloadLength + nextHeader + "40" + source + destination;
}
}  // namespace

TEST(IPv6, DecodesTheFixedHeader) {
    ByteSlice data = hexAt(14, header("000c", "11") + "1f410050000c0000 01020304");
    auto ip = IPv6::decode(data);
    ASSERT_TRUE(ip);
    EXPECT_EQ(ip->version, 6);
    EXPECT_EQ(ip->trafficClass, 0xab);
    EXPECT_EQ(ip->flowLabel, 0xcdef1u);
    EXPECT_EQ(ip->payloadLength, 12u);
    EXPECT_EQ(ip->nextHeader, 17);
    EXPECT_EQ(ip->hopLimit, 64);
    EXPECT_EQ(ip->sourceIP.description(), "fe80::1867:ff5d:d25b:ad67");
    EXPECT_EQ(ip->destinationIP.description(), "2001:db8::1");
    ASSERT_TRUE(ip->layer4.udp());
    EXPECT_EQ(ip->layer4.udp()->startIndex[Field::sourcePort], 54u);
    EXPECT_EQ(ip->description(), "IPv6 fe80::1867:ff5d:d25b:ad67 > 2001:db8::1 nextHeader 17");
    EXPECT_EQ(ip->verboseDescription(),
              "IPv6 fe80::1867:ff5d:d25b:ad67 > 2001:db8::1 payload 12 nextHeader 17 trafficClass 171 flowLabel "
              "843505 hopLimit 64 Padding 0 Bytes");

    const std::pair<Field, std::string> fields[] = {
        {Field::version, "6a"},       {Field::trafficClass, "6abc"}, {Field::flowLabel, "bcdef1"},
        {Field::payloadLength, "000c"}, {Field::nextHeader, "11"},   {Field::hopLimit, "40"},
        {Field::sourceIP, source},    {Field::destinationIP, destination},
    };
    for (const auto& [field, bytes] : fields) EXPECT_EQ(fieldHex(*ip, data, field), bytes) << toString(field);
    EXPECT_EQ(ip->startIndex[Field::sourceIP], 22u);
    EXPECT_FALSE(ip->startIndex.contains(Field::padding));
}

TEST(IPv6, PaddingExtensionHeadersAndShortInput) {
    TestSupport::LogCapture log;
    auto padded = IPv6::decode(hexAt(14, header("0002", "fe") + "aabb ccddeeff"));
    ASSERT_TRUE(padded);
    EXPECT_EQ(padded->padding.count(), 4u);
    EXPECT_EQ(padded->startIndex[Field::padding], 14u + 42u);
    EXPECT_EQ(padded->endIndex[Field::padding], 14u + 46u);
    ASSERT_TRUE(padded->layer4.unknown());
    EXPECT_EQ(padded->layer4.unknown()->data.count(), 6u);  // padding included

    // Hop-by-hop options are not walked: everything after the fixed header is unknown.
    auto hopByHop = IPv6::decode(hexAt(14, header("0010", "00") + "3a00010400000000 8000000000000000"));
    ASSERT_TRUE(hopByHop && hopByHop->layer4.unknown());
    EXPECT_EQ(hopByHop->layer4.unknown()->data.startIndex(), 54u);
    EXPECT_EQ(hopByHop->layer4.unknown()->data.count(), 16u);

    auto exact = IPv6::decode(hexAt(14, header("0000", "06")));
    ASSERT_TRUE(exact && exact->layer4.unknown());
    EXPECT_TRUE(exact->layer4.unknown()->data.empty());
    EXPECT_TRUE(log.messages().empty());

    EXPECT_FALSE(IPv6::decode(hexAt(14, header("0000", "06")).slice(14, 53)));
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: IPv6: error short packet header size 39"}));
}
