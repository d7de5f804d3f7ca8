#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>

#include "Hex.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

using namespace ZuzizavAdiduDazorud;
using TestSupport::hex;

TEST(IPAddress, FromBytesNeedsTheExactLength) {
    EXPECT_EQ(IPv4Address::fromBytes(hex("c0a80001"))->description(), "192.168.0.1");
    EXPECT_FALSE(IPv4Address::fromBytes(hex("c0a800")));
    EXPECT_FALSE(IPv4Address::fromBytes(hex("c0a8000101")));
    EXPECT_EQ(IPv6Address::fromBytes(hex("20010db8000000000000000000000001"))->description(), "2001:db8::1");
    EXPECT_FALSE(IPv6Address::fromBytes(hex("20010db80000000000000000000000")));
}

TEST(IPAddress, TextFormsAndParsing) {
    const std::pair<std::string, std::string> v6[] = {
        {"00000000000000000000000000000000", "::"},
        {"00000000000000000000000000000001", "::1"},
        {"fe80000000000000b27fb9fffe5d8ed2", "fe80::b27f:b9ff:fe5d:8ed2"},
        {"20010db8000000010000000000000001", "2001:db8:0:1::1"},
        {"00000000000000000000ffffc0a80001", "::ffff:192.168.0.1"},
    };
    for (const auto& [bytes, text] : v6) {
        EXPECT_EQ(IPv6Address::fromBytes(hex(bytes))->description(), text);
        EXPECT_EQ(IPv6Address::fromString(text), IPv6Address::fromBytes(hex(bytes)));
    }
    EXPECT_EQ(IPv4Address::fromString("10.0.0.1"), IPv4Address::fromBytes(hex("0a000001")));
    EXPECT_FALSE(IPv4Address::fromString("300.1.1.1"));
    EXPECT_FALSE(IPv4Address::fromString("10.0.0"));
    EXPECT_FALSE(IPv6Address::fromString("fe80::1::2"));
    EXPECT_FALSE(IPv6Address::fromString(std::string("::1\0garbage", 11)));
}

TEST(IPAddress, KeyedSerialisedForm) {
    auto v4 = *IPv4Address::fromString("192.168.0.10");
    KeyedContainer encoded = v4.encode();
    EXPECT_EQ(encoded, (KeyedContainer{{"ipv4String", std::string("192.168.0.10")}}));
    EXPECT_EQ(IPv4Address::decode(encoded), v4);
    auto v6 = *IPv6Address::fromString("fe80::1");
    EXPECT_EQ(IPv6Address::decode(v6.encode()), v6);

    try {
        IPv4Address::decode({{"ipv4String", std::string("300.1.1.1")}});
        FAIL() << "no error";
    } catch (const IPv4AddressDecodingError& error) {
        EXPECT_EQ(error.errorCase(), IPv4AddressDecodingError::Case::decoding);
        EXPECT_EQ(error.message, "unable to decode IPv4 address from [\"ipv4String\": \"300.1.1.1\"]");
    }
    EXPECT_THROW(IPv6Address::decode({{"ipv6String", std::string("10.0.0.1")}}), IPv6AddressDecodingError);
    EXPECT_THROW(IPv4Address::decode({}), KeyedDecodingError);
    EXPECT_THROW(IPv4Address::decode({{"ipv4String", std::int64_t{1}}}), KeyedDecodingError);
    EXPECT_THROW(IPv6Address::decode({{"ipv4String", std::string("::1")}}), KeyedDecodingError);
}

TEST(IPAddress, DottedDecimalMatchesInetNtop) {
    std::uint32_t x = 0x12345678;
    for (int i = 0; i < 20000; ++i) {
        x = x * 1664525u + 1013904223u;  // a fixed sequence covering one-, two- and three-digit parts
        std::array<std::uint8_t, 4> bytes{static_cast<std::uint8_t>(x >> 24), static_cast<std::uint8_t>(x >> 16),
                                          static_cast<std::uint8_t>(x >> 8), static_cast<std::uint8_t>(x)};
        if (i % 7 == 0) bytes[i % 4] = static_cast<std::uint8_t>(i % 3 == 0 ? 0 : i % 3 == 1 ? 9 : 100);
        char expected[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, bytes.data(), expected, sizeof expected);
        ASSERT_EQ(IPv4Address(bytes).description(), expected);
    }
}
