#include <ZuzizavAdiduDazorud/DataStructure/Udp.h>

#include "Hex.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

using namespace ZuzizavAdiduDazorud;
using TestSupport::fieldHex;
using TestSupport::hexAt;

TEST(Udp, FieldsPositionsAndTexts) {
    ByteSlice data = hexAt(34, "2261 14e9 0014 beef" + std::string(36, 'a'));  // length 20, 26 bytes
    auto udp = Udp::decode(data);
    ASSERT_TRUE(udp);
    EXPECT_EQ(udp->sourcePort, 8801u);
    EXPECT_EQ(udp->destinationPort, 5353u);
    EXPECT_EQ(udp->length, 20u);
    EXPECT_EQ(udp->checksum, 0xbeefu);
    EXPECT_EQ(udp->payload.count(), 18u);  // not cut at length
    EXPECT_EQ(udp->startIndex[Field::length], 38u);
    EXPECT_EQ(udp->endIndex[Field::length], 40u);
    EXPECT_EQ(udp->startIndex[Field::destinationPort], 36u);
    EXPECT_EQ(udp->endIndex[Field::destinationPort], 38u);
    EXPECT_EQ(fieldHex(*udp, data, Field::checksum), "beef");
    EXPECT_EQ(udp->startIndex[Field::payload], 42u);
    EXPECT_EQ(udp->endIndex[Field::payload], 60u);
    EXPECT_EQ(udp->description(), "8801 > 5353 length 20");
    EXPECT_EQ(udp->verboseDescription(), "UDP 8801 > 5353 length 20 checksum 48879");
}

TEST(Udp, EightBytesDecodeSevenAreRefused) {
    auto empty = Udp::decode(hexAt(0, "22611f41 00080000"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->payload.empty());

    TestSupport::LogCapture log;
    EXPECT_FALSE(Udp::decode(hexAt(0, "22611f41 000800")));
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: incomplete UDP datagram detected"}));
}
