#include <ZuzizavAdiduDazorud/Extensions/MacText.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <sstream>

using namespace ZuzizavAdiduDazorud;

namespace {

template <typename Write>
std::string written(std::size_t room, Write write) {
    std::string buffer(room, '#');
    char* end = write(buffer.data());
    return buffer.substr(0, static_cast<std::size_t>(end - buffer.data()));
}

}  // namespace

TEST(TextAppend, DecimalMatchesToStringAtEveryLengthBoundary) {
    const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t values[] = {0,        9,        10,        42,         99,         100,       101,
                                    999,      1000,     1009,      9999,       10000,      10001,     65535,
                                    99999,    100000,   1000000,   1000001,    12345678,   99990000,  99999999,
                                    100000000, 4294967295, max - 1, max};
    for (std::uint64_t value : values) {
        EXPECT_EQ(written(20, [&](char* p) { return text::writeDecimal(p, value); }), std::to_string(value));
    }
    for (std::uint64_t value = 0; value < 1000000; value += value < 20000 ? 1 : 997) {
        ASSERT_EQ(written(20, [&](char* p) { return text::writeDecimal(p, value); }), std::to_string(value));
    }
}

TEST(TextAppend, WordHexHasAtLeastFourDigits) {
    const struct {
        std::uint64_t value;
        const char* text;
    } cases[] = {{0, "0x0000"},       {0xf, "0x000f"},        {0x800, "0x0800"},
                 {0x86dd, "0x86dd"},  {0x12345, "0x12345"},   {~0ull, "0xffffffffffffffff"}};
    for (const auto& c : cases) {
        EXPECT_EQ(written(18, [&](char* p) { return text::writeWordHex(p, c.value); }), c.text);
    }
}

TEST(TextAppend, DottedQuadMatchesInetNtopForEveryByteValue) {
    for (unsigned v = 0; v < 256; ++v) {
        for (std::size_t position = 0; position < 4; ++position) {
            std::uint8_t bytes[4] = {1, 22, 233, 4};
            bytes[position] = static_cast<std::uint8_t>(v);
            char expected[INET_ADDRSTRLEN];
            ASSERT_TRUE(inet_ntop(AF_INET, bytes, expected, sizeof expected));
            // Exactly 15 characters of room: the widest address must not write past it.
            std::string buffer(16, '#');
            char* end = text::writeDottedQuad(buffer.data(), bytes);
            ASSERT_EQ(std::string(buffer.data(), end), expected);
            ASSERT_EQ(buffer[15], '#');
        }
    }
}

// Every pattern of zero and non-zero groups (so every run to compress, ties included), with group values
// of one to four digits, and the IPv4-compatible and -mapped forms.
TEST(TextAppend, IPv6MatchesInetNtop) {
    const unsigned values[] = {0x1, 0xab, 0xfff, 0xffff, 0x2001};
    auto check = [](const std::uint8_t* bytes) {
        char expected[INET6_ADDRSTRLEN];
        ASSERT_TRUE(inet_ntop(AF_INET6, bytes, expected, sizeof expected));
        std::string buffer(46, '#');
        char* end = text::writeIPv6(buffer.data(), bytes);
        ASSERT_EQ(std::string(buffer.data(), end), expected);
    };
    for (unsigned pattern = 0; pattern < 256; ++pattern) {
        for (std::size_t v = 0; v < std::size(values); ++v) {
            std::uint8_t bytes[16] = {};
            for (int group = 0; group < 8; ++group) {
                if (!(pattern >> group & 1)) continue;
                const unsigned word = values[(v + static_cast<std::size_t>(group)) % std::size(values)];
                bytes[2 * group] = static_cast<std::uint8_t>(word >> 8);
                bytes[2 * group + 1] = static_cast<std::uint8_t>(word);
            }
            check(bytes);
            bytes[10] = bytes[11] = 0xff;  // word 5 all ones: IPv4-mapped when the rest before it is zero
            check(bytes);
        }
    }
}

TEST(LineWriter, KeepsOrderAcrossFlushesAndLongPieces) {
    std::string out = "head ";
    std::string expected = "head ";
    {
        text::LineWriter line(out);
        const std::string longPiece(1000, 'x');
        for (int i = 0; i < 100; ++i) {
            line << "n=";
            line.decimal(static_cast<std::uint64_t>(i)) << ' ';
            line.commit(text::writeWordHex(line.reserve(18), static_cast<std::uint64_t>(i)));
            line << ';';
            expected += "n=" + std::to_string(i) + " " + (i < 16 ? "0x000" : "0x00") +
                        (std::ostringstream() << std::hex << i).str() + ";";
            if (i % 30 == 0) {
                line << longPiece;
                expected += longPiece;
            }
        }
        const std::uint8_t address[4] = {255, 255, 255, 255};
        line.commit(text::writeDottedQuad(line.reserve(15), address));
        expected += "255.255.255.255";
    }  // flushed here
    EXPECT_EQ(out, expected);
}

template <typename T>
concept Streamable = requires(text::LineWriter& w, T value) { w << value; };

TEST(LineWriter, TakesNoIntegersThroughTheCharacterOverload) {
    static_assert(!Streamable<int>);
    static_assert(!Streamable<std::size_t>);
    static_assert(Streamable<char>);
    static_assert(Streamable<std::string_view>);
}

TEST(MacText, HoldsAddressesAndShortTexts) {
    const std::uint8_t bytes[] = {0x00, 0x1b, 0xa2, 0xff, 0x0c, 0xde, 0x99};
    const MacText mac = MacText::fromBytes(bytes);
    EXPECT_EQ(mac, "00:1b:a2:ff:0c:de");
    EXPECT_EQ(mac.size(), 17u);
    EXPECT_EQ(MacText::fromBytes(std::span(bytes).first(5)), "");
    EXPECT_EQ(MacText("unknown"), "unknown");
    EXPECT_EQ(MacText("0123456789abcdefXYZ"), "0123456789abcdefX");  // cut to 17
    EXPECT_NE(MacText("unknown"), mac);
    std::ostringstream printed;
    printed << mac;
    EXPECT_EQ(printed.str(), "00:1b:a2:ff:0c:de");
}
