#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include "Hex.h"
#include "LogCapture.h"
#include "SampleFrames.h"

#include <gtest/gtest.h>

using namespace ZuzizavAdiduDazorud;
using TestSupport::frameFromHex;
using TestSupport::fieldHex;
using TestSupport::hexAt;

TEST(Bpdu, PaddedRapidSpanningTreeFrame) {
    Frame frame = frameFromHex(
        "0180c2000000001122334455 0027 424203"
        "0000 02 02 7c 8000001122334455 00000004 8000665544332211 8001 0100 1400 0200 0f00 00"
        "00000000000000");
    const Bpdu* bpdu = frame.layer3.bpdu();
    ASSERT_TRUE(bpdu) << frame.description();
    EXPECT_EQ(frame.paddingBytes, 7);
    EXPECT_EQ(bpdu->data.count(), 43u);  // padding included
    EXPECT_EQ(bpdu->bpduVersion, 2);
    EXPECT_EQ(bpdu->type, 2);
    EXPECT_TRUE(bpdu->flagForwarding && bpdu->flagLearning && bpdu->flagAgreement);
    EXPECT_FALSE(bpdu->flagTopChange || bpdu->flagProposal || bpdu->flagTopChangeAgree);
    EXPECT_EQ(bpdu->portRole, 3);
    EXPECT_EQ(bpdu->rootId, 0x8000001122334455ull);
    EXPECT_EQ(bpdu->rootCost, 4u);
    EXPECT_EQ(bpdu->portId, 0x8001);
    EXPECT_DOUBLE_EQ(bpdu->age, 1.0);
    EXPECT_DOUBLE_EQ(bpdu->maxAge, 20.0);
    EXPECT_DOUBLE_EQ(bpdu->helloTime, 2.0);
    EXPECT_DOUBLE_EQ(bpdu->forwardDelay, 15.0);
    EXPECT_EQ(bpdu->description(),
              "BPDU version 2 type 2 rootID 0x8000001122334455 bridgeID 0x8000665544332211 rootCost 4 portId 32769");
    EXPECT_EQ(bpdu->verboseDescription(),
              "BPDU protocol 0 version 2 type 2 flags AGR FOR  portRole 3 rootID 0x8000001122334455 rootCost 4 "
              "bridgeID 0x8000665544332211 portId 32769 age 1.0 maxAge 20.0 helloTime 2.0 forwardDelay 15.0 43 bytes");
    EXPECT_EQ(frame.description(), "00:11:22:33:44:55 01:80:c2:00:00:00 ieee8023 0x4242 " + bpdu->description() + " ");
    EXPECT_TRUE(frame.layer4()->isNoLayer4());

    EXPECT_EQ(bpdu->startIndex[Field::rootId], 22u);
    EXPECT_EQ(bpdu->endIndex[Field::rootId], 30u);
    EXPECT_EQ(bpdu->startIndex[Field::v1Length], 52u);
    EXPECT_EQ(bpdu->endIndex[Field::v1Length], 53u);
    EXPECT_EQ(fieldHex(*bpdu, frame.data, Field::flags), "7c");
    EXPECT_EQ(fieldHex(*bpdu, frame.data, Field::bridgeId), "8000665544332211");
    EXPECT_EQ(fieldHex(*bpdu, frame.data, Field::maxAge), "1400");
    EXPECT_EQ(fieldHex(*bpdu, frame.data, Field::forwardDelay), "0f00");
}

TEST(Bpdu, FlagsTimesAndShortInput) {
    const std::string rest = "8000001122334455 00000004 8000665544332211 8001 0000 1400 0180 0f00 00";
    const std::pair<std::string, std::string> flags[] = {{"7c", "AGR FOR "}, {"01", "TCH "}, {"00", ""},
                                                         {"ff", "TCA AGR FOR TCH "}};
    for (const auto& [byte, text] : flags) {
        auto bpdu = Bpdu::decode(hexAt(17, "0000 02 02" + byte + rest));
        ASSERT_TRUE(bpdu);
        EXPECT_EQ(bpdu->flagsText(), text) << byte;
        EXPECT_DOUBLE_EQ(bpdu->helloTime, 1.5);
    }
    auto zero = Bpdu::decode(hexAt(0, std::string(72, '0')));
    EXPECT_NE(zero->description().find("rootID 0x0 bridgeID 0x0"), std::string::npos);
    EXPECT_NE(zero->verboseDescription().find("flags  portRole 0"), std::string::npos);

    TestSupport::LogCapture log;
    EXPECT_FALSE(Bpdu::decode(hexAt(17, "0000 02 02" + std::string(62, '0'))));   // 35 bytes of rapid STP
    EXPECT_FALSE(Bpdu::decode(hexAt(17, "0000 00 00" + std::string(60, '0'))));   // 34 of a configuration
    EXPECT_FALSE(Bpdu::decode(hexAt(17, "0000 00")));                            // 3 of a notification
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"error: Unable to decode Bpdu from 35 bytes",
                                                        "error: Unable to decode Bpdu from 34 bytes",
                                                        "error: Unable to decode Bpdu from 3 bytes"}));
}

TEST(Bpdu, EachTypeReadsItsOwnLength) {
    // A configuration BPDU is 35 bytes: it decodes unpadded, and has no version-1 length.
    ByteSlice config = hexAt(17, "0000 00 00 01 8000001122334455 00000004 8000665544332211 8001 0000 1400 0200 0f00");
    auto unpadded = Bpdu::decode(config);
    ASSERT_TRUE(unpadded);
    EXPECT_TRUE(unpadded->flagTopChange);
    EXPECT_DOUBLE_EQ(unpadded->forwardDelay, 15.0);
    EXPECT_FALSE(unpadded->startIndex.contains(Field::v1Length));
    EXPECT_EQ(unpadded->endIndex[Field::forwardDelay], 17u + 35u);
    // A topology change notification in a padded frame: the padding is not read as fields.
    Frame tcn = frameFromHex("0180c2000000001122334455 0007 424203 0000 00 80" + std::string(78, 'f'));
    const Bpdu* notification = tcn.layer3.bpdu();
    ASSERT_TRUE(notification) << tcn.description();
    EXPECT_TRUE(notification->isTopologyChangeNotification());
    EXPECT_EQ(notification->rootId, 0u);
    EXPECT_FALSE(notification->startIndex.contains(Field::flags));
    EXPECT_EQ(notification->startIndex.size(), 3u);
    EXPECT_EQ(notification->data.count(), 43u);  // padding included, as for every BPDU
    EXPECT_EQ(notification->description(), "BPDU version 0 type 128 TCN");
    EXPECT_EQ(notification->verboseDescription(), "BPDU protocol 0 version 0 type 128 TCN 43 bytes");
    EXPECT_EQ(tcn.paddingBytes, 39);
}
