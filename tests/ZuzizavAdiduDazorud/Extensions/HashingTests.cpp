#include <ZuzizavAdiduDazorud/DataStructure/Icmp4.h>
#include <ZuzizavAdiduDazorud/Extensions/Hashing.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <variant>
#include <vector>

using namespace ZuzizavAdiduDazorud;

namespace {
struct Empty {};
struct Three {
    std::uint8_t a;
    std::string b;
    std::optional<std::uint32_t> c;
};
struct Six {
    int a, b, c, d, e, f;
};
struct OtherThree {
    std::uint8_t a;
    std::string b;
    std::optional<std::uint32_t> c;
};
}  // namespace

TEST(Hashing, VisitsEachFieldInOrder) {
    std::vector<std::string> seen;
    auto record = [&seen](const auto& field) {
        if constexpr (std::is_arithmetic_v<std::decay_t<decltype(field)>>) seen.push_back(std::to_string(field));
        else seen.push_back("other");
    };
    forEachField(Empty{}, record);
    EXPECT_TRUE(seen.empty());
    forEachField(Three{7, "x", 1}, record);
    EXPECT_EQ(seen, (std::vector<std::string>{"7", "other", "other"}));
    seen.clear();
    forEachField(Six{1, 2, 3, 4, 5, 6}, record);
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
}

TEST(Hashing, EveryFieldAndTheCaseCount) {
    const Three base{1, "name", 5};
    EXPECT_EQ(hashOf(base), hashOf(Three{1, "name", 5}));
    EXPECT_NE(hashOf(base), hashOf(Three{2, "name", 5}));
    EXPECT_NE(hashOf(base), hashOf(Three{1, "Name", 5}));
    EXPECT_NE(hashOf(base), hashOf(Three{1, "name", 6}));
    EXPECT_NE(hashOf(Three{1, "", std::nullopt}), hashOf(Three{1, "", 0}));
    EXPECT_NE(hashOf(Six{1, 2, 3, 4, 5, 6}), hashOf(Six{1, 2, 3, 4, 6, 5}));  // order counts

    // Two cases with equal fields differ by their index.
    using Kind = std::variant<Three, OtherThree>;
    EXPECT_NE(hashOf(Kind(Three{1, "a", 2})), hashOf(Kind(OtherThree{1, "a", 2})));
    EXPECT_NE(hashOf(*IPv4Address::fromString("10.0.0.1")), hashOf(*IPv4Address::fromString("10.0.0.2")));

    // The message kinds hash through the same machinery.
    const std::hash<Icmp4Type> hash;
    EXPECT_EQ(hash(icmp4::TimestampRequest{1, 2, 3, 4, 5}), hash(icmp4::TimestampRequest{1, 2, 3, 4, 5}));
    EXPECT_NE(hash(icmp4::TimestampRequest{1, 2, 3, 4, 5}), hash(icmp4::TimestampRequest{1, 2, 3, 5, 4}));
    EXPECT_NE(hash(icmp4::EchoRequest{1, 2}), hash(icmp4::EchoReply{1, 2}));
}
