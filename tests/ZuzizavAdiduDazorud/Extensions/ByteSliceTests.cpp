#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>

#include "Hex.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>

using namespace ZuzizavAdiduDazorud;
using TestSupport::hex;

namespace {
ByteSlice counting(std::size_t n, std::uint8_t first = 0) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), first);
    return ByteSlice(std::move(bytes));
}
}  // namespace

TEST(ByteSlice, SlicesKeepTheirParentsIndicesAndNeverWiden) {
    ByteSlice frame = counting(20);
    ByteSlice tail = frame.sliceFrom(14);
    EXPECT_EQ(tail.startIndex(), 14u);
    EXPECT_EQ(tail.endIndex(), 20u);
    EXPECT_EQ(tail.at(14), 14);
    EXPECT_FALSE(tail.at(13));
    EXPECT_FALSE(tail.at(20));
    EXPECT_EQ(tail.readUInt16(), 0x0e0f);

    ByteSlice clamped = tail.slice(2, 100);  // below start and past end
    EXPECT_EQ(clamped.startIndex(), 14u);
    EXPECT_EQ(clamped.endIndex(), 20u);
    ByteSlice inverted = tail.slice(18, 16);
    EXPECT_TRUE(inverted.empty());
    EXPECT_EQ(inverted.startIndex(), 18u);
    EXPECT_EQ(ByteSlice().hexdump(), "");
}

// Copies on several threads share one buffer; it lives while any slice does (the sanitizer build
// turns a lost or doubled count into a use-after-free or a leak).
TEST(ByteSlice, SharedAcrossThreadsAndOutlivesItsParent) {
    std::vector<ByteSlice> kept(4);
    {
        ByteSlice frame = counting(64);
        std::vector<std::thread> threads;
        for (std::size_t t = 0; t < kept.size(); ++t) {
            threads.emplace_back([&frame, &kept, t] {
                for (int i = 0; i < 20000; ++i) {
                    ByteSlice copy = frame.slice(t, 64 - t);
                    ByteSlice moved = std::move(copy);
                    copy = moved;
                    kept[t] = copy;
                }
            });
        }
        for (auto& thread : threads) thread.join();
    }
    for (std::size_t t = 0; t < kept.size(); ++t) {
        EXPECT_EQ(kept[t].startIndex(), t);
        EXPECT_EQ(kept[t].at(t), t);
        EXPECT_EQ(kept[t].count(), 64 - 2 * t);
    }
    ByteSlice self = kept[1];
    self = self;  // self-assignment keeps the bytes
    EXPECT_EQ(self.at(10), 10);
    ByteSlice moved = std::move(self);
    EXPECT_TRUE(self.empty());
    EXPECT_EQ(moved.count(), 62u);
}

TEST(ByteSlice, BigEndianReadsRefuseMissingBytes) {
    ByteSlice bytes = hex("0102030405060708");
    EXPECT_EQ(bytes.readUInt16(), 0x0102);
    EXPECT_EQ(bytes.readUInt32(), 0x01020304u);
    EXPECT_EQ(bytes.readUInt64(), 0x0102030405060708ull);
    EXPECT_FALSE(bytes.slice(1, 8).readUInt64());
    EXPECT_FALSE(bytes.slice(5, 8).readUInt32());
    EXPECT_FALSE(bytes.slice(7, 8).readUInt16());

    SliceReader r(bytes.sliceFrom(6));
    EXPECT_EQ(r.u16(0), 0x0708);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.u16(1), 0);
    EXPECT_FALSE(r.ok());
    SliceReader huge(bytes);
    huge.u8(std::numeric_limits<std::size_t>::max());  // offset arithmetic must not wrap
    EXPECT_FALSE(huge.ok());
}

TEST(ByteSlice, TextHelpers) {
    ByteSlice mac = hex("685b35890a04ff");
    EXPECT_EQ(mac.macAddressText(), "68:5b:35:89:0a:04");
    EXPECT_EQ(mac.ouiText(), "68:5b:35");
    EXPECT_FALSE(mac.slice(0, 5).macAddressText());
    EXPECT_FALSE(mac.slice(0, 2).ouiText());
    EXPECT_EQ(mac.hexString(), "685b35890a04ff");
    EXPECT_EQ(ByteSlice().hexString(), "");
    EXPECT_EQ(mac.description(), "7 bytes");

    EXPECT_STREQ(byteHexText(0), "00");
    EXPECT_STREQ(byteHexText(0xab), "ab");
    EXPECT_EQ(wordHexText(std::uint64_t{8}), "0x0008");
    EXPECT_EQ(wordHexText(std::uint64_t{0x80}), "0x0080");
    EXPECT_EQ(wordHexText(std::uint64_t{0x800}), "0x0800");
    EXPECT_EQ(wordHexText(std::uint64_t{0x86dd}), "0x86dd");
    EXPECT_EQ(wordHexText(std::uint64_t{0x12345}), "0x12345");
    EXPECT_EQ(wordHexText(std::uint16_t{0x0806}), "0x0806");
}

TEST(Hexdump, LineLayout) {
    struct Case {
        ByteSlice bytes;
        std::string dump;
    };
    const Case cases[] = {
        {counting(16), "0x0000 0001 0203 0405 0607 0809 0a0b 0c0d 0e0f\n"},
        {counting(17), "0x0000 0001 0203 0405 0607 0809 0a0b 0c0d 0e0f\n0x0010 10\n"},
        {counting(32, 0x20),
         "0x0000 2021 2223 2425 2627 2829 2a2b 2c2d 2e2f\n0x0010 3031 3233 3435 3637 3839 3a3b 3c3d 3e3f\n"},
        {hex("010203"), "0x0000 0102 03\n"},
        {hex("01020304"), "0x0000 0102 0304 \n"},
        // A slice inside a frame still counts offsets from its own first byte.
        {counting(20).sliceFrom(14), "0x0000 0e0f 1011 1213 \n"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.bytes.hexdump(), c.dump);

    std::string big = counting(0x10010).hexdump();
    EXPECT_NE(big.find("\n0xfff0 "), std::string::npos);
    EXPECT_NE(big.find("\n0x10000 0001 "), std::string::npos);
}

TEST(MakeData, HexDigitsAndRefusal) {
    EXPECT_EQ(makeData("0a0B")->toVector(), (std::vector<std::uint8_t>{0x0a, 0x0b}));
    EXPECT_EQ(makeData("abc")->toVector(), (std::vector<std::uint8_t>{0xab}));
    EXPECT_TRUE(makeData("")->empty());

    TestSupport::LogCapture log;
    EXPECT_FALSE(makeData("0g"));
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: makeData: invalid char g at position 1"}));
}

TEST(EscapedText, ControlAndFormatCharactersOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain ASCII and \\ stay", "plain ASCII and \\ stay"},
        {"tab\tnew\nline\rnul", "tab\\tnew\\nline\\rnul"},
        {std::string("nul\0end", 7), "nul\\0end"},
        {"\x1b[2J\x7f", "\\u{1b}[2J\\u{7f}"},
        {"C1 \xc2\x9b", "C1 \\u{9b}"},                              // CSI in its 8-bit form
        {"bidi \xe2\x80\xae txt", "bidi \\u{202e} txt"},            // right-to-left override
        {"\xef\xbb\xbf" "BOM", "\\u{feff}BOM"},
        {"Montréal, 東京, 🌊", "Montréal, 東京, 🌊"},                      // printable non-ASCII stays
        {"broken \xc3 and \xed\xa0\x80", "broken \\x{c3} and \\x{ed}\\x{a0}\\x{80}"},  // not UTF-8
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(escapedText(in), out);
        EXPECT_EQ(needsEscaping(in), in != out);
    }
}
