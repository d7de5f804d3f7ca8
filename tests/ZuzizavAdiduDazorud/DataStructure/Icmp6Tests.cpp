#include <ZuzizavAdiduDazorud/DataStructure/Icmp6.h>
#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPv6.h>

#include "Hex.h"
#include "SampleFrames.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace ZuzizavAdiduDazorud;
using TestSupport::fieldHex;
using TestSupport::hexAt;

namespace {
const std::string target = "fe800000000000001867ff5dd25bad67";
const std::string destination = "20010db8000000000000000000000001";
IPv6Address v6(const char* text) { return *IPv6Address::fromString(text); }
}  // namespace

TEST(Icmp6, KindsAndTexts) {
    struct Row {
        const char* name;
        std::string bytes;
        Icmp6Type expected;
        std::string description;
        std::size_t payload;  // byte count
        std::size_t options;
    };
    const Row rows[] = {
        {"echo request", "8000 0000 0007 0001", icmp6::EchoRequest{7, 1},
         "ICMPv6 type Echo Request identifier 7 sequence 1", 0, 0},
        {"echo reply with data", "8100 0000 0007 0002 aabb", icmp6::EchoReply{7, 2},
         "ICMPv6 type Echo Reply identifier 7 sequence 2", 2, 0},
        {"echo with a code", "8003 0000 0007 0002 aabb", icmp6::Other{128, 3}, "ICMPv6 type Other type 128 code 3",
         0, 0},
        {"port unreachable", "0104 0000 00000000 60000000", icmp6::UnreachablePort{},
         "ICMPv6 type Unreachable Port ", 4, 0},
        {"unreachable code 9", "0109 0000 00000000 60", icmp6::Other{1, 9}, "ICMPv6 type Other type 1 code 9", 1, 0},
        {"packet too big", "0200 0000 000005dc 60", icmp6::PacketTooBig{}, "ICMPv6 type Packet Too Big ",
         1, 0},
        {"hop limit", "0300 0000 00000000", icmp6::HopLimitExceeded{}, "ICMPv6 type Hop Limit Exceeded ",
         0, 0},
        {"parameter problem", "0401 0000 00000028 60", icmp6::ParameterProblem{1, 40},
         "ICMPv6 type Parameter Problem Unrecognized next header at 40", 1, 0},
        {"parameter problem code 7", "0407 0000 00000002", icmp6::ParameterProblem{7, 2},
         "ICMPv6 type Parameter Problem code 7 at 2", 0, 0},
        {"solicitation", "8700 0000 00000000" + target, icmp6::NeighborSolicitation{v6("fe80::1867:ff5d:d25b:ad67")},
         "ICMPv6 type Neighbor Solicitation Target fe80::1867:ff5d:d25b:ad67", 0, 0},
        {"advertisement", "8800 0000 60000000" + target,
         icmp6::NeighborAdvertisement{v6("fe80::1867:ff5d:d25b:ad67"), false, true, true},
         "ICMPv6 type Neighbor Advertisement Target fe80::1867:ff5d:d25b:ad67 router:false solicited:true "
         "override:true",
         0, 0},
        {"redirect", "8900 0000 00000000" + target + destination,
         icmp6::Redirect{v6("fe80::1867:ff5d:d25b:ad67"), v6("2001:db8::1")},
         "ICMPv6 type Redirect Target fe80::1867:ff5d:d25b:ad67 Destination 2001:db8::1", 0, 0},
        {"router advertisement", "8600 0000 40000708 00000000 00000000 0101685b35890a04",
         icmp6::Other{134, 0}, "ICMPv6 type Other type 134 code 0", 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ByteSlice data = hexAt(54, row.bytes);
        auto icmp = Icmp6::decode(data);
        ASSERT_TRUE(icmp);
        EXPECT_EQ(icmp->icmpType, row.expected);
        EXPECT_EQ(icmp->description(), row.description);
        EXPECT_EQ(icmp->payload.count(), row.payload);
        EXPECT_EQ(icmp->startIndex.contains(Field::payload), row.payload > 0);
        EXPECT_EQ(icmp->options.size(), row.options);
        EXPECT_EQ(icmp->payloadLength, 0);
    }
}

TEST(Icmp6, NeighborDiscoveryOptions) {
    // Solicitation with a source link-layer option, a prefix option, an MTU option and an unknown one.
    const std::string options = "0101685b35890a04"
                                "0304 40c0 00278d00 00093a80 00000000 20010db8000000000000000000000000"
                                "0501 0000 000005dc"
                                "2a01 000000000000";
    ByteSlice data = hexAt(54, "8700 0000 00000000" + target + options);
    auto icmp = Icmp6::decode(data);
    ASSERT_TRUE(icmp);
    ASSERT_EQ(icmp->options.size(), 4u);
    EXPECT_EQ(icmp->options[0].description(), "Source Link Address 68:5b:35:89:0a:04");
    EXPECT_EQ(icmp->options[0].startIndex, 78u);
    EXPECT_EQ(icmp->options[0].endIndex, 86u);
    EXPECT_EQ(icmp->options[1].description(),
              "Prefix 2001:db8::/64 onlink:true autoconfig:true ValidLifetime 2592000 PreferredLifetime 604800");
    EXPECT_EQ(icmp->options[1].startIndex, 86u);
    EXPECT_EQ(icmp->options[1].endIndex, 98u);  // the first 12 bytes of the 32
    EXPECT_EQ(icmp->options[2].optionType, Icmp6OptionType(icmp6option::Mtu{1500}));
    EXPECT_EQ(icmp->options[3].description(), "Other Icmp6Option type 42 length 8");
    EXPECT_EQ(icmp->options[3].endIndex, 134u);
    EXPECT_EQ(fieldHex(*icmp, data, Field::target), target);
    EXPECT_EQ(icmp->verboseDescription(),
              "ICMPv6 type 135 code 0 checksum 0 Neighbor Solicitation Target fe80::1867:ff5d:d25b:ad67 "
              "PayloadLength 0 4 options");

    ByteSlice advert = hexAt(54, "8800 0000 e0000000" + target + "0201b07fb95d8ed2");
    auto na = Icmp6::decode(advert);
    ASSERT_TRUE(na);
    const auto& flags = std::get<icmp6::NeighborAdvertisement>(na->icmpType);
    EXPECT_TRUE(flags.router && flags.solicited && flags.override);
    EXPECT_EQ(fieldHex(*na, advert, Field::flags), "e0");
    EXPECT_EQ(na->options.at(0).description(), "Target Link Address b0:7f:b9:5d:8e:d2");

    ByteSlice redirect = hexAt(54, "8900 0000 00000000" + target + destination + "0402 000000000000 6000000000000000");
    auto rd = Icmp6::decode(redirect);
    ASSERT_TRUE(rd);
    EXPECT_EQ(fieldHex(*rd, redirect, Field::destination), destination);
    ASSERT_EQ(rd->options.size(), 1u);
    EXPECT_EQ(rd->options[0].description(), "Redirected Header 8 bytes");
}

TEST(Icmp6, OptionParsingStopsAtBadOptionsKeepingEarlierOnes) {
    struct Case {
        const char* name;
        std::string options;
        std::size_t kept;
        std::string log;
    };
    const Case cases[] = {
        {"exactly 24 bytes: no options", "", 0, ""},
        {"fewer than 8 option bytes", "0101685b3589", 0, ""},
        {"length 0", "0101685b35890a04 0100685b35890a04", 1,
         "error: Icmp6Option.getOptions: invalid length 0 position 8"},
        {"prefix with length 3", "0101685b35890a04 0303 40c0 00000000 00000000 00000000 0000000000000000", 1,
         "error: Icmp6Option.getOptions: unable to decode type 3 length 3 position 8"},
        {"mtu with length 2", "0502 0000 000005dc 0000000000000000", 0,
         "error: Icmp6Option.getOptions: unable to decode type 5 length 2 position 0"},
        {"declared length past the data", "0101685b35890a04 2a04 000000000000", 1,
         "error: Icmp6Option.getOptions: unable to decode type 42 length 4 position 8"},
        {"link address past the data", "0101685b35890a04 0102685b35890a04", 1,
         "error: Icmp6Option.getOptions: unable to decode type 1 length 2 position 8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestSupport::LogCapture log;
        auto icmp = Icmp6::decode(hexAt(54, "8700 0000 00000000" + target + c.options));
        ASSERT_TRUE(icmp);
        EXPECT_EQ(icmp->options.size(), c.kept);
        auto messages = log.messages();
        if (c.log.empty()) {
            EXPECT_TRUE(messages.empty());
        } else {
            EXPECT_EQ(messages, std::vector<std::string>{c.log});
        }
    }
}

TEST(Icmp6, RefusalsAndDispatch) {
    TestSupport::LogCapture log;
    EXPECT_FALSE(Icmp6::decode(hexAt(0, "80000000 000700")));
    EXPECT_FALSE(Icmp6::decode(hexAt(0, "8700 0000 00000000 fe800000")));
    EXPECT_FALSE(Icmp6::decode(hexAt(0, "8900 0000 00000000" + target)));
    auto coded = Icmp6::decode(hexAt(0, "8701 0000 00000000"));  // a bad code needs no length
    ASSERT_TRUE(coded);
    EXPECT_EQ(coded->icmpType, Icmp6Type(icmp6::Other{135, 1}));
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: incomplete ICMPv6 datagram detected",
                                                        "error: Incomplete ICMPv6 message type 135 code 0 12 bytes",
                                                        "error: Incomplete ICMPv6 message type 137 code 0 24 bytes"}));

    std::unordered_set<Icmp6Option> options{
        Icmp6Option{Icmp6OptionType(icmp6option::Mtu{1500}), 1, 9}, Icmp6Option{Icmp6OptionType(icmp6option::Mtu{1500}), 1, 9},
        Icmp6Option{Icmp6OptionType(icmp6option::Mtu{1500}), 2, 10}};
    EXPECT_EQ(options.size(), 2u);
    EXPECT_EQ(std::unordered_set<Icmp6Type>({icmp6::EchoReply{1, 1}, icmp6::EchoReply{1, 1}}).size(), 1u);

    const Frame& sample = TestSupport::sampleIcmp6Frame();
    const Icmp6* na = sample.layer4()->icmp6();
    ASSERT_TRUE(na);
    EXPECT_EQ(na->startIndex[Field::target], 62u);
    EXPECT_EQ(sample.layer4()->description(),
              "ICMPv6 type Neighbor Advertisement Target fe80::1867:ff5d:d25b:ad67 router:false solicited:true "
              "override:false");
}

// Options that run past the message leave it truncated; a length of 0, or one the option's type does not
// take, leaves it malformed.
TEST(Icmp6, StatusFromTheOptions) {
    const std::string solicitation = "8700 0000 00000000 fe800000000000000000000000000002";
    const std::pair<std::string, DecodeStatus> cases[] = {
        {"0101 020000000001", DecodeStatus::complete},
        {"0102 020000000001", DecodeStatus::truncated},
        {"0100 020000000001", DecodeStatus::malformed},
        {"0501 0000000005dc 0302 0000000000000000000000000000", DecodeStatus::malformed},
    };
    for (const auto& [options, status] : cases) {
        auto icmp = Icmp6::decode(hexAt(54, solicitation + options));
        ASSERT_TRUE(icmp) << options;
        EXPECT_EQ(icmp->status, status) << options;
        EXPECT_EQ(icmp->verboseDescription().ends_with("[" + std::string(toString(status)) + "]"),
                  status != DecodeStatus::complete);
    }
}
