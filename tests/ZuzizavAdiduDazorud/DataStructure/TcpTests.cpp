#include <ZuzizavAdiduDazorud/DataStructure/Tcp.h>

#include "Hex.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

using namespace ZuzizavAdiduDazorud;
using TestSupport::fieldHex;
using TestSupport::hexAt;

TEST(Tcp, FieldsPositionsAndTexts) {
    ByteSlice data = hexAt(34, "c001 de7e 2d3a1e6b 8f6a2c11 50 12 0804 0a2c 0007 cafe");
    auto tcp = Tcp::decode(data);
    ASSERT_TRUE(tcp);
    EXPECT_EQ(tcp->sourcePort, 49153u);
    EXPECT_EQ(tcp->destinationPort, 56958u);
    EXPECT_EQ(tcp->sequenceNumber, 0x2d3a1e6bu);
    EXPECT_EQ(tcp->acknowledgementNumber, 0x8f6a2c11u);
    EXPECT_EQ(tcp->dataOffset, 5);
    EXPECT_TRUE(tcp->syn && tcp->ack);
    EXPECT_FALSE(tcp->fin || tcp->rst || tcp->psh || tcp->urg);
    EXPECT_EQ(tcp->window, 0x0804u);
    EXPECT_EQ(tcp->checksum, 0x0a2cu);
    EXPECT_EQ(tcp->urgentPointer, 7u);
    EXPECT_FALSE(tcp->options);
    EXPECT_EQ(tcp->payload.hexString(), "cafe");
    EXPECT_EQ(tcp->description(), "TCP 49153 > 56958 flags SA 2 bytes");
    EXPECT_EQ(tcp->verboseDescription(),
              "TCP 49153 > 56958 seq 758783595 ack 2406099985 offset 5 flags SA window 2052 checksum 2604 urgentPtr "
              "7  2 bytes");

    const std::pair<Field, std::string> fields[] = {
        {Field::sourcePort, "c001"},           {Field::destinationPort, "de7e"},
        {Field::sequenceNumber, "2d3a1e6b"},    {Field::acknowledgementNumber, "8f6a2c11"},
        {Field::dataOffset, "50"},             {Field::flags, "12"},
        {Field::window, "0804"},               {Field::checksum, "0a2c"},
        {Field::urgentPointer, "0007"},        {Field::payload, "cafe"},
    };
    for (const auto& [field, bytes] : fields) EXPECT_EQ(fieldHex(*tcp, data, field), bytes) << toString(field);
    EXPECT_EQ(tcp->startIndex[Field::sourcePort], 34u);
}

TEST(Tcp, FlagLettersInOrder) {
    const std::pair<std::string, std::string> cases[] = {
        {"00", ""}, {"3f", "SUAPRF"}, {"01", "F"}, {"04", "R"}, {"18", "AP"}, {"22", "SU"}, {"c0", ""},
    };
    for (const auto& [flags, letters] : cases) {
        auto tcp = Tcp::decode(hexAt(0, "00010002 00000000 00000000 50" + flags + "0000 00000000"));
        ASSERT_TRUE(tcp);
        EXPECT_EQ(tcp->flagLetters(), letters) << flags;
    }
    auto none = Tcp::decode(hexAt(0, "00010002 00000000 00000000 5000 0000 00000000"));
    EXPECT_EQ(none->description(), "TCP 1 > 2 flags  0 bytes");
}

TEST(Tcp, OptionsStayInPayloadAndShortInputIsRefused) {
    ByteSlice data = hexAt(34, "c001de7e 00000000 00000000 8010 0804 00000000 0101080a 0011a2b3 3c4d5e6f");
    auto tcp = Tcp::decode(data);
    ASSERT_TRUE(tcp);
    EXPECT_EQ(tcp->dataOffset, 8);
    EXPECT_EQ(tcp->payload.count(), 12u);
    EXPECT_EQ(tcp->startIndex[Field::payload], 54u);
    EXPECT_NE(tcp->description().find(" 12 bytes"), std::string::npos);
    EXPECT_NE(tcp->verboseDescription().find("  12 bytes"), std::string::npos);

    auto bare = Tcp::decode(hexAt(34, "c001de7e 00000000 00000000 8010 0804 00000000"));
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->payload.empty());
    EXPECT_EQ(bare->startIndex[Field::payload], 54u);
    EXPECT_EQ(bare->endIndex[Field::payload], 54u);

    TestSupport::LogCapture log;
    EXPECT_FALSE(Tcp::decode(hexAt(34, "c001de7e 00000000 00000000 8010 0804 000000")));
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: incomplete TCP header detected"}));
}
