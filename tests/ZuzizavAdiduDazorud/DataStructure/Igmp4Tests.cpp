#include <ZuzizavAdiduDazorud/DataStructure/Igmp4.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPv4.h>

#include "Hex.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

using namespace ZuzizavAdiduDazorud;
using TestSupport::fieldHex;
using TestSupport::hexAt;
using Case = IgmpType::Case;

TEST(Igmp4, KindsVersionsAndTexts) {
    struct Row {
        const char* name;
        std::string bytes;
        IgmpType type;
        std::int64_t version;
        double maxResponseTime;
        std::string description;
    };
    const Row rows[] = {
        {"general query v2", "1164 ee9b 00000000", Case::membershipQueryGeneral, 2, 10.0,
         "IGMPv2 membershipQueryGeneral"},
        {"general query v3", "1164 ee9b 00000000 0000 0000", Case::membershipQueryGeneral, 3, 10.0,
         "IGMPv3 membershipQueryGeneral"},
        {"group query", "1105 0000 e00000fb", Case::membershipQuery, 2, 0.5, "IGMPv2 membershipQuery"},
        {"v1 report", "1200 0000 e00000fb", Case::membershipReportV1, 1, 0.0, "IGMPv1 membershipReportV1"},
        {"v1 query: 8 bytes, no response time", "1100 eeff 00000000", Case::membershipQueryGeneral, 1, 0.0,
         "IGMPv1 membershipQueryGeneral"},
        {"v2 report", "1600 0000 e00000fb", Case::membershipReportV2, 2, 0.0, "IGMPv2 membershipReportV2"},
        {"leave of 12 bytes stays v2", "1700 0000 e00000fb 00000000", Case::leaveGroup, 2, 0.0,
         "IGMPv2 leaveGroup"},
        {"unknown type", "1300 0000 00000000", IgmpType::unknown(19), 2, 0.0, "IGMPv2 unknown(19)"},
        {"v3 coded response time", "1180 0000 00000000 0000 0000", Case::membershipQueryGeneral, 3, 12.8,
         "IGMPv3 membershipQueryGeneral"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto igmp = Igmp4::decode(hexAt(34, row.bytes));
        ASSERT_TRUE(igmp);
        EXPECT_EQ(igmp->type, row.type);
        EXPECT_EQ(igmp->version, row.version);
        EXPECT_DOUBLE_EQ(igmp->maxResponseTime, row.maxResponseTime);
        EXPECT_EQ(igmp->description(), row.description);
        EXPECT_EQ(igmp->supressFlag.has_value(), row.version == 3);
        EXPECT_EQ(igmp->numberOfSources.has_value(), row.version == 3);
        EXPECT_FALSE(igmp->numberOfGroupRecords);
    }
    EXPECT_EQ(IgmpType(Case::membershipReportV2).description(), "Membership Report V2");
    EXPECT_EQ(IgmpType::unknown(19).description(), "Unknown type 19");
    EXPECT_EQ(IgmpType(Case::leaveGroup).hexdump(), "");
}

TEST(Igmp4, Version3FieldsAndSources) {
    ByteSlice data = hexAt(34, "1164 ee9b e00000fb 0a8c 0002 c0a80001 c0a80002");
    auto igmp = Igmp4::decode(data);
    ASSERT_TRUE(igmp);
    EXPECT_EQ(igmp->supressFlag, true);
    EXPECT_EQ(igmp->querierRobustness, 2);
    EXPECT_EQ(igmp->queryInterval, 224);  // (0x0c | 0x10) << 3
    EXPECT_EQ(igmp->numberOfSources, 2);
    ASSERT_EQ(igmp->sources.size(), 2u);
    EXPECT_EQ(igmp->sources[1].description(), "192.168.0.2");
    EXPECT_EQ(fieldHex(*igmp, data, Field::sources), "c0a80001c0a80002");
    EXPECT_EQ(fieldHex(*igmp, data, Field::queryIntervalCode), "8c");
    EXPECT_EQ(fieldHex(*igmp, data, Field::numberOfSources), "0002");
    EXPECT_EQ(fieldHex(*igmp, data, Field::flags), "0a");
    EXPECT_EQ(fieldHex(*igmp, data, Field::address), "e00000fb");
    EXPECT_EQ(fieldHex(*igmp, data, Field::maxResponseTime), "64");
    EXPECT_EQ(igmp->verboseDescription(),
              "IGMPv3 membershipQuery group 224.0.0.251 MaxResponseTime 10.0 seconds checksump 0xee9b");

    EXPECT_EQ(Igmp4::decodeCode(100), 100);
    EXPECT_EQ(Igmp4::decodeCode(0x80), 128);
    EXPECT_EQ(Igmp4::decodeCode(0xff), 31744);
    EXPECT_EQ(shortestDecimal(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(shortestDecimal(3174.4), "3174.4");
    EXPECT_EQ(shortestDecimal(0.0), "0.0");
    auto small = Igmp4::decode(hexAt(0, "1600 00ab e00000fb"));
    EXPECT_NE(small->verboseDescription().find("checksump 0x00ab"), std::string::npos);
}

TEST(Igmp4, Version3ReportsHaveTheirOwnLayout) {
    // Two group records: change to exclude 239.1.1.1 with no sources, then allow 10.0.0.1 and 10.0.0.2
    // into 239.2.2.2 with one word of auxiliary data.
    ByteSlice data = hexAt(38, "2200 f4f5 0000 0002"
                               "04 00 0000 ef010101"
                               "05 01 0002 ef020202 0a000001 0a000002 deadbeef");
    auto igmp = Igmp4::decode(data);
    ASSERT_TRUE(igmp);
    EXPECT_EQ(igmp->version, 3);
    EXPECT_EQ(igmp->type, Case::membershipReportV3);
    EXPECT_EQ(igmp->numberOfGroupRecords, 2);
    ASSERT_EQ(igmp->groupRecords.size(), 2u);
    const IgmpGroupRecord& second = igmp->groupRecords[1];
    EXPECT_EQ(igmp->groupRecords[0].address.description(), "239.1.1.1");
    EXPECT_EQ(second.recordType, 5);
    EXPECT_EQ(second.auxDataLength, 1);
    EXPECT_EQ(second.numberOfSources, 2);
    ASSERT_EQ(second.sources.size(), 2u);
    EXPECT_EQ(second.sources[1].description(), "10.0.0.2");
    EXPECT_EQ(data.slice(second.startIndex, second.endIndex).hexString(), "05010002ef0202020a0000010a000002deadbeef");
    EXPECT_EQ(fieldHex(*igmp, data, Field::numberOfGroupRecords), "0002");
    EXPECT_EQ(igmp->startIndex[Field::groupRecords], 46u);
    EXPECT_EQ(igmp->endIndex[Field::groupRecords], data.endIndex());
    // No group address of its own: bytes 4 to 7 are not read as one.
    EXPECT_FALSE(igmp->startIndex.contains(Field::address));
    EXPECT_EQ(igmp->description(), "IGMPv3 membershipReportV3");
    EXPECT_EQ(igmp->verboseDescription(),
              "IGMPv3 membershipReportV3 groupRecords 2 [changeToExclude 239.1.1.1 sources 0] [allowNewSources "
              "239.2.2.2 sources 2: 10.0.0.1 10.0.0.2] checksump 0xf4f5");

    // Records cut short: the ones before stay, and the report says it was cut.
    TestSupport::LogCapture log;
    auto cut = Igmp4::decode(hexAt(0, "2200 0000 0000 0002 04000000ef010101 05000002ef020202 0a000001"));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->groupRecords.size(), 1u);
    EXPECT_EQ(cut->status, DecodeStatus::truncated);
    EXPECT_TRUE(cut->verboseDescription().ends_with(" [truncated]")) << cut->verboseDescription();
    auto headerCut = Igmp4::decode(hexAt(0, "2200 0000 0000 0001 040000"));
    ASSERT_TRUE(headerCut);
    EXPECT_TRUE(headerCut->groupRecords.empty());
    EXPECT_EQ(headerCut->status, DecodeStatus::truncated);
    EXPECT_EQ(log.messages(),
              (std::vector<std::string>{"error: IGMPv3 report: 1 of 2 group records within the 28 bytes",
                                        "error: IGMPv3 report: 0 of 1 group records within the 11 bytes"}));
    auto empty = Igmp4::decode(hexAt(0, "2200 0000 0000 0000"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->groupRecords.empty());
    IgmpGroupRecord unknownKind;
    unknownKind.recordType = 9;
    EXPECT_EQ(unknownKind.recordTypeName(), "recordType(9)");
}

TEST(Igmp4, Refusals) {
    TestSupport::LogCapture log;
    EXPECT_FALSE(Igmp4::decode(hexAt(0, "1164 ee9b 000000")));
    EXPECT_FALSE(Igmp4::decode(hexAt(0, "1164 ee9b 00000000 0000 0002")));
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: incomplete IGMPv2 Header detected",
                                                        "error: IGMP4 v3 decoder 12 bytes expected 20 bytes"}));
    auto ip = IPv4::decode(hexAt(14, "46c00018 0000 4000 0102 0000 0a000001 e0000016 94040000 2200fa02 00000000"));
    ASSERT_TRUE(ip && ip->layer4.igmp4());
    EXPECT_EQ(ip->layer4.description(), "IGMPv3 membershipReportV3");
}
