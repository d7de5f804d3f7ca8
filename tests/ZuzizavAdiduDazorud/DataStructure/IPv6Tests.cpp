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

    auto exact = IPv6::decode(hexAt(14, header("0000", "06")));
    ASSERT_TRUE(exact && exact->layer4.unknown());
    EXPECT_TRUE(exact->layer4.unknown()->data.empty());
    EXPECT_TRUE(log.messages().empty());

    EXPECT_FALSE(IPv6::decode(hexAt(14, header("0000", "06")).slice(14, 53)));
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: IPv6: error short packet header size 39"}));
}

TEST(IPv6, ExtensionHeadersLeadToTheTransport) {
    const std::string udp = "1f41 0050 0008 0000";
    struct Case {
        const char* name;
        std::string nextHeader;
        std::string afterHeader;
        std::vector<std::string> headers;  // names, in order
        std::string layer4;                // the one-line text of the transport content
        std::size_t layer4Start;
    };
    const Case cases[] = {
        {"hop-by-hop, then an MLDv1 report (router alert)", "00",
         "3a00 0502 0000 0100  8300 0000 0000 0000 ff0200000000000000000001ffa48ad8", {"hopByHop"},
         "ICMPv6 type Multicast Listener Report address ff02::1:ffa4:8ad8", 62},
        {"routing (segment routing, 1 left), then UDP", "2b", "1102 0401 00000000 " + std::string(32, 'a') + udp,
         {"routing"}, "8001 > 80 length 8", 78},
        {"first fragment, then UDP", "2c", "1100 0001 12345678" + udp, {"fragment"}, "8001 > 80 length 8", 62},
        {"later fragment: no transport header", "2c", "1100 05c9 12345678" + udp, {"fragment"}, "unknown 8 bytes",
         62},
        {"hop-by-hop, destination options, UDP", "00", "3c00 0100 00000000 1100 0100 00000000" + udp,
         {"hopByHop", "destinationOptions"}, "8001 > 80 length 8", 70},
        {"encrypted (ESP) after destination options", "3c", "3200 0100 00000000 deadbeef", {"destinationOptions"},
         "unknown 4 bytes", 62},
        {"no next header", "00", "3b00 0100 00000000 0102", {"hopByHop"}, "unknown 2 bytes", 62},
        {"a header cut short", "00", "1101 0100 00000000", {}, "unknown 8 bytes", 54},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string rest = TestSupport::hex(c.afterHeader).hexString();
        char length[20];
        std::snprintf(length, sizeof length, "%04zx", rest.size() / 2);
        ByteSlice data = hexAt(14, header(length, c.nextHeader) + rest);
        auto ip = IPv6::decode(data);
        ASSERT_TRUE(ip);
        std::vector<std::string> names;
        for (const auto& h : ip->extensionHeaders) names.emplace_back(h.name());
        EXPECT_EQ(names, c.headers);
        EXPECT_EQ(ip->layer4.description(), c.layer4);
        const auto start = ip->layer4.visit([](const auto& record) -> std::size_t {
            if constexpr (requires { record.data; }) return record.data.startIndex();
            return 0;
        });
        EXPECT_EQ(start, c.layer4Start);
        EXPECT_EQ(ip->description().rfind("IPv6 fe80::1867:ff5d:d25b:ad67 > 2001:db8::1 nextHeader ", 0), 0u);
    }

    // Fields and positions of each kind of header.
    ByteSlice data = hexAt(14, header("0028", "00") + "2b00 0100 00000000 2c02 0401 00000000" + std::string(32, 'b') +
                                   "1100 05c9 12345678");
    auto ip = IPv6::decode(data);
    ASSERT_TRUE(ip);
    ASSERT_EQ(ip->extensionHeaders.size(), 3u);
    const auto& routing = ip->extensionHeaders[1];
    EXPECT_EQ(routing.headerType, 43);
    EXPECT_EQ(routing.length, 24u);
    EXPECT_EQ(routing.routingType, 4);
    EXPECT_EQ(routing.segmentsLeft, 1);
    EXPECT_EQ(fieldHex(routing, data, Field::nextHeader), "2c");
    EXPECT_EQ(fieldHex(routing, data, Field::headerLength), "02");
    EXPECT_EQ(fieldHex(routing, data, Field::routingType), "04");
    const auto& fragment = ip->extensionHeaders[2];
    EXPECT_EQ(fragment.fragmentOffset, 185);
    EXPECT_EQ(fragment.moreFragments, true);
    EXPECT_EQ(fragment.identification, 0x12345678u);
    EXPECT_EQ(fieldHex(fragment, data, Field::fragmentOffset), "05c9");
    EXPECT_EQ(fieldHex(fragment, data, Field::identification), "12345678");
    EXPECT_FALSE(fragment.startIndex.contains(Field::headerLength));
    EXPECT_EQ(fieldHex(ip->extensionHeaders[0], data, Field::options), "010000000000");
    EXPECT_EQ(ip->verboseDescription().substr(ip->verboseDescription().find("Bytes")),
              "Bytes hopByHop length 8 nextHeader 43 routing type 4 segmentsLeft 1 length 24 nextHeader 44 fragment "
              "offset 185 more true id 305419896 length 8 nextHeader 17");

    // Endless chains stop after eight headers.
    std::string chain;
    for (int i = 0; i < 10; ++i) chain += "0000 0000 00000000";
    auto tooMany = IPv6::decode(hexAt(14, header("0050", "00") + chain));
    ASSERT_TRUE(tooMany);
    EXPECT_EQ(tooMany->extensionHeaders.size(), 8u);
    ASSERT_TRUE(tooMany->layer4.unknown());
    EXPECT_EQ(tooMany->layer4.unknown()->data.count(), 16u);
}

TEST(IPv6, TheVersionMustBeSix) {
    TestSupport::LogCapture log;
    EXPECT_FALSE(IPv6::decode(hexAt(14, "4abcdef1 0000 1140" + source + destination)));
    EXPECT_EQ(log.messages(), std::vector<std::string>{"error: IPv6: Invalid version 4 detected"});
}
