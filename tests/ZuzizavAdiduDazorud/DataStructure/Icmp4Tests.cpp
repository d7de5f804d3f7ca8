#include <ZuzizavAdiduDazorud/DataStructure/Icmp4.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPv4.h>

#include "Hex.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <tuple>

#include <unordered_set>

using namespace ZuzizavAdiduDazorud;
using TestSupport::fieldHex;
using TestSupport::hexAt;

namespace {
std::string zeros(std::size_t bytes) { return std::string(bytes * 2, '0'); }
}  // namespace

TEST(Icmp4, KindsAndTexts) {
    struct Row {
        const char* name;
        std::string bytes;
        Icmp4Type expected;
        std::string description;
        std::size_t payloadStart, payloadEnd;  // relative; equal: empty
    };
    const Row rows[] = {
        {"echo request", "0800 abcd 1234 0001", icmp4::EchoRequest{4660, 1}, "ICMPv4 Echo Request id 4660 sequence 1",
         8, 8},
        {"echo reply with data", "0000 abcd 0001 0002 aabbcc", icmp4::EchoReply{1, 2},
         "ICMPv4 Echo Reply id 1 sequence 2", 8, 11},
        {"echo request code 1 falls back", "0801 abcd 1234 0001 ff", icmp4::Other{8, 1},
         "ICMPv4 Other unable to further analyze", 4, 9},
        {"short echo with a bad code still decodes", "0801 abcd", icmp4::Other{8, 1},
         "ICMPv4 Other unable to further analyze", 4, 4},
        {"port unreachable", "0303 0000 0000 0000" + zeros(28), icmp4::PortUnreachable{},
         "ICMPv4 Port Unreachable ", 8, 36},
        {"unreachable code 9", "0309 0000 0000 0000" + zeros(4), icmp4::OtherUnreachable{9},
         "ICMPv4 Unreachable Code 9", 8, 12},
        {"fragmentation needed", "0304 0000 0000 05dc" + zeros(4), icmp4::FragmentationNeeded{},
         "ICMPv4 Fragmentation Needed But DF Bit Set ", 8, 12},
        {"source quench", "0400 0000 00000000 01", icmp4::SourceQuench{},
         "ICMPv4 Source Quench DEPRECATED RFC 6633", 8, 9},
        {"redirect host", "0501 0000 0a000001" + zeros(4), icmp4::RedirectHost{*IPv4Address::fromString("10.0.0.1")},
         "ICMPv4 Redirect Host 10.0.0.1", 8, 12},
        {"redirect tos network", "0502 0000 0a000001", icmp4::RedirectTosNetwork{*IPv4Address::fromString("10.0.0.1")},
         "ICMPv4 Redirect Type of Service Network 10.0.0.1", 8, 8},
        {"redirect code 4 falls back", "0504 0000 0a000001", icmp4::Other{5, 4},
         "ICMPv4 Other unable to further analyze", 4, 8},
        {"ttl exceeded", "0b00 0000 00000000" + zeros(20), icmp4::TtlExceeded{}, "ICMPv4 TTL Exceeded ",
         8, 28},
        {"reassembly time exceeded", "0b01 0000 00000000", icmp4::FragmentReassemblyTimeExceeded{},
         "ICMPv4 Fragment Rassembly Time Exceeded ", 8, 8},
        {"parameter problem", "0c00 0000 14000000" + zeros(4), icmp4::ParameterProblem{20},
         "ICMPv4 Parameter Problem Pointer: 20", 8, 12},
        {"timestamp reply", "0e00 0000 0007 0008 00000001 00000002 00000003",
         icmp4::TimestampReply{7, 8, 1, 2, 3},
         "ICMPv4 Timestamp Reply id 7 sequence 8 originate 1 receive 2 transmit 3", 20, 20},
        {"information request", "0f00 0000 0003 0004", icmp4::InformationRequest{3, 4},
         "ICMPv4 Information Request DEPRECATED id 3 sequence 4", 8, 8},
        {"address mask reply", "1200 0000 0001 0002 ffffff00",
         icmp4::AddressMaskReply{1, 2, *IPv4Address::fromString("255.255.255.0")},
         "ICMPv4 Address Mask Reply DEPRECATED id 1 sequence 2 mask 255.255.255.0", 12, 12},
        {"unknown type", "2a05 0000", icmp4::Other{42, 5}, "ICMPv4 Other unable to further analyze", 4, 4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ByteSlice data = hexAt(34, row.bytes);
        auto icmp = Icmp4::decode(data);
        ASSERT_TRUE(icmp);
        EXPECT_EQ(icmp->icmpType, row.expected);
        EXPECT_EQ(icmp->description(), row.description);
        EXPECT_EQ(icmp->payload.startIndex(), 34 + row.payloadStart);
        EXPECT_EQ(icmp->payload.endIndex(), 34 + row.payloadEnd);
        EXPECT_EQ(icmp->startIndex[Field::type], 34u);
        EXPECT_EQ(icmp->endIndex[Field::checksum], 38u);
    }
    EXPECT_EQ(std::get<icmp4::EchoRequest>(Icmp4::decode(hexAt(0, "0800 abcd 1234 0001"))->icmpType).identifer, 4660);
}

TEST(Icmp4, FieldPositionsAndVerboseText) {
    ByteSlice echo = hexAt(34, "0800 f7fe 1234 0001");
    auto icmp = Icmp4::decode(echo);
    ASSERT_TRUE(icmp);
    EXPECT_EQ(fieldHex(*icmp, echo, Field::identifier), "1234");
    EXPECT_EQ(fieldHex(*icmp, echo, Field::sequence), "0001");
    EXPECT_EQ(icmp->startIndex[Field::payload], 42u);
    EXPECT_EQ(icmp->endIndex[Field::payload], 42u);
    EXPECT_EQ(icmp->verboseDescription(),
              "ICMPv4 type 8 code 0 checksum 63486 Echo Request id 4660 sequence 1 PayloadLength 0");

    ByteSlice redirect = hexAt(34, "0501 0000 0a000001");
    EXPECT_EQ(fieldHex(*Icmp4::decode(redirect), redirect, Field::address), "0a000001");

    ByteSlice timestamp = hexAt(0, "0d00 0000 0001 0002 0000000a 0000000b 0000000c");
    auto ts = Icmp4::decode(timestamp);
    EXPECT_EQ(fieldHex(*ts, timestamp, Field::originate), "0000000a");
    EXPECT_EQ(fieldHex(*ts, timestamp, Field::transmit), "0000000c");

    ByteSlice mask = hexAt(0, "1100 0000 0001 0002 ffff0000");
    EXPECT_EQ(fieldHex(*Icmp4::decode(mask), mask, Field::mask), "ffff0000");

    ByteSlice problem = hexAt(0, "0c00 0000 0b04 0000" + zeros(8));
    auto pp = Icmp4::decode(problem);
    EXPECT_EQ(fieldHex(*pp, problem, Field::pointer), "0b");
    EXPECT_EQ(fieldHex(*pp, problem, Field::payloadLength), "04");
    EXPECT_EQ(pp->payloadLength, 4);
    EXPECT_EQ(pp->payload.count(), 4u);
    EXPECT_NE(pp->verboseDescription().find("PayloadLength 4"), std::string::npos);
}

TEST(Icmp4, LengthRuleCountsBytes) {
    const std::tuple<std::string, std::size_t, DecodeStatus> cases[] = {
        {"0303000000" + std::string("0a") + "0000" + zeros(32), 10, DecodeStatus::complete},  // byte 5 = 10
        {"0303000000" + std::string("20") + "0000" + zeros(32), 32, DecodeStatus::complete},  // exactly to the end
        {"0303000000" + std::string("28") + "0000" + zeros(32), 32, DecodeStatus::truncated},  // 40: past the end
        {"0303000000" + std::string("00") + "0000" + zeros(32), 32, DecodeStatus::complete},
    };
    for (const auto& [bytes, payload, status] : cases) {
        auto icmp = Icmp4::decode(hexAt(0, bytes));
        ASSERT_TRUE(icmp);
        EXPECT_EQ(icmp->payload.count(), payload) << bytes.substr(10, 2);
        EXPECT_EQ(icmp->payload.startIndex(), 8u);
        EXPECT_EQ(icmp->status, status) << bytes.substr(10, 2);
    }
}

TEST(Icmp4, RefusalsAndLogLines) {
    TestSupport::LogCapture log;
    EXPECT_FALSE(Icmp4::decode(hexAt(0, "0800ab")));
    EXPECT_FALSE(Icmp4::decode(hexAt(0, "0000 abcd 0001")));
    EXPECT_FALSE(Icmp4::decode(hexAt(0, "0d00 0000 0001 0002 00000001")));
    EXPECT_FALSE(Icmp4::decode(hexAt(0, "1100 0000 0001 0002")));
    auto invalid = Icmp4::decode(hexAt(0, "0b02 0000 00000000"));
    ASSERT_TRUE(invalid);
    EXPECT_EQ(invalid->icmpType, Icmp4Type(icmp4::Other{11, 2}));
    EXPECT_EQ(log.messages(), (std::vector<std::string>{
                                  "error: incomplete ICMPv4 datagram detected",
                                  "error: incomplete ICMPv4 datagram detected type 0 code 0 6 bytes",
                                  "error: incomplete ICMPv4 datagram detected type 13 code 0 12 bytes",
                                  "error: incomplete ICMPv4 datagram detected type 17 code 0 8 bytes",
                                  "error: invalid ICMPv4 datagram detected type 11 code 2 8 bytes",
                              }));
}

TEST(Icmp4, TypesHashAndCompareByValue) {
    std::unordered_set<Icmp4Type> set{icmp4::EchoRequest{1, 2}, icmp4::EchoRequest{1, 2},
                                      icmp4::EchoReply{1, 2}, icmp4::TtlExceeded{}};
    EXPECT_EQ(set.size(), 3u);
    EXPECT_NE(Icmp4Type(icmp4::Other{8, 1}), Icmp4Type(icmp4::Other{8, 2}));
}

TEST(Icmp4, ReachedThroughIPv4) {
    auto ip = IPv4::decode(hexAt(14, "4500001c 0000 0000 4001 0000 0a000001 0a000002 0800f7fe12340001"));
    ASSERT_TRUE(ip && ip->layer4.icmp4());
    EXPECT_EQ(ip->layer4.description(), "ICMPv4 Echo Request id 4660 sequence 1");
    EXPECT_EQ(ip->layer4.icmp4()->startIndex[Field::identifier], 38u);
}
