#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include "Hex.h"
#include "LogCapture.h"
#include "SampleFrames.h"

#include <gtest/gtest.h>

using namespace ZuzizavAdiduDazorud;
using TestSupport::frameFromHex;
using TestSupport::fieldHex;
using TestSupport::hexAt;

namespace {
const std::string arpRequest = "0001 0800 06 04 0001 001122334455 0a000001 000000000000 0a000002";
}  // namespace

TEST(Arp, PaddedRequestFrame) {
    Frame frame = frameFromHex("ffffffffffff001122334455 0806" + arpRequest + std::string(36, '0'));
    const Arp* arp = frame.layer3.arp();
    ASSERT_TRUE(arp);
    EXPECT_EQ(arp->operation, ArpOperation::arpRequest);
    EXPECT_EQ(arp->hardwareType, 1);
    EXPECT_EQ(arp->protocolType, 0x0800);
    EXPECT_EQ(arp->hardwareSize, 6);
    EXPECT_EQ(arp->protocolSize, 4);
    EXPECT_EQ(arp->data.count(), 46u);  // padding included
    EXPECT_EQ(arp->description(), "ARP Request sender 00:11:22:33:44:55 10.0.0.1 target 00:00:00:00:00:00 10.0.0.2");
    EXPECT_EQ(arp->verboseDescription(), arp->description() + " hwType 1 protType 0x0800 hwSize 6 protSize 4");
    ASSERT_TRUE(arp->layer4.unknown());
    EXPECT_TRUE(arp->layer4.unknown()->data.empty());
    ASSERT_TRUE(frame.layer4());
    EXPECT_TRUE(frame.layer4()->isNoLayer4());
    EXPECT_EQ(frame.description(), "00:11:22:33:44:55 ff:ff:ff:ff:ff:ff ethernet 0x0806 " + arp->description() + " ");

    const std::tuple<Field, std::size_t, std::size_t, std::string> fields[] = {
        {Field::hardwareType, 14, 16, "0001"},         {Field::protocolType, 16, 18, "0800"},
        {Field::hardwareSize, 18, 19, "06"},           {Field::protocolSize, 19, 20, "04"},
        {Field::operation, 20, 22, "0001"},            {Field::senderEthernet, 22, 28, "001122334455"},
        {Field::senderIp, 28, 32, "0a000001"},         {Field::targetEthernet, 32, 38, "000000000000"},
        {Field::targetIp, 38, 42, "0a000002"},
    };
    for (const auto& [field, start, end, bytes] : fields) {
        EXPECT_EQ(arp->startIndex[field], start) << toString(field);
        EXPECT_EQ(arp->endIndex[field], end) << toString(field);
        EXPECT_EQ(fieldHex(*arp, frame.data, field), bytes) << toString(field);
    }
}

TEST(Arp, OperationsAndRefusalsInOrder) {
    const std::pair<std::string, std::string> operations[] = {
        {"0002", "ARP Reply"}, {"0003", "RARP Request"}, {"0004", "RARP Reply"}};
    for (const auto& [code, text] : operations) {
        auto arp = Arp::decode(hexAt(14, "0001 0800 06 04" + code + "001122334455 0a000001 000000000000 0a000002"));
        ASSERT_TRUE(arp);
        EXPECT_EQ(arp->description().rfind(text + " sender", 0), 0u);
        EXPECT_EQ(arpOperationFromRawValue(text), arp->operation);
    }
    EXPECT_FALSE(arpOperationFromRawValue("arp request"));

    struct Case {
        std::string bytes;
        std::string message;
    };
    const Case refusals[] = {
        {arpRequest.substr(0, arpRequest.size() - 2), "error: Unable to decode ARP from 27 bytes"},
        {"0006 0800 06 04 0000 001122334455 0a000001 000000000000 0a000002",
         "error: EtherCapture.Arp: invalid ARP operation 0"},  // the operation is checked first
        {"0001 0800 06 04 0005 001122334455 0a000001 000000000000 0a000002",
         "error: EtherCapture.Arp: invalid ARP operation 5"},
        {"0006 0800 08 04 0001 001122334455 0a000001 000000000000 0a000002 00000000",
         "error: EtherCapture.Arp: invalid types or sizes detected"},  // IEEE 802 addresses are 6 bytes
        {"0001 86dd 06 04 0001 001122334455 0a000001 000000000000 0a000002",
         "error: EtherCapture.Arp: invalid types or sizes detected"},  // only IPv4 fits the record
        {"0001 0800 06 10 0001 001122334455 0a000001 000000000000 0a000002",
         "error: Unable to decode ARP from 28 bytes"},  // sizes claiming more than there is
    };
    for (const auto& c : refusals) {
        TestSupport::LogCapture log;
        EXPECT_FALSE(Arp::decode(hexAt(14, c.bytes)));
        EXPECT_EQ(log.messages(), std::vector<std::string>{c.message});
    }
}

TEST(Arp, AnyHardwareWhoseAddressLengthsAreConsistent) {
    // IEEE 802 (hardware type 6), as token ring and some Wi-Fi drivers send it.
    auto ieee802 = Arp::decode(hexAt(14, "0006 0800 06 04 0002 001122334455 0a000001 665544332211 0a000002"));
    ASSERT_TRUE(ieee802);
    EXPECT_EQ(ieee802->description(),
              "ARP Reply sender 00:11:22:33:44:55 10.0.0.1 target 66:55:44:33:22:11 10.0.0.2");
    // InfiniBand (32): 20-byte hardware addresses, so every later field moves.
    const std::string ib = "80000048fe8000000000000000021100000000001";
    ByteSlice data = hexAt(14, "0020 0800 14 04 0001" + ib.substr(0, 40) + "0a000001" + std::string(40, '0') + "0a000002");
    auto infiniband = Arp::decode(data);
    ASSERT_TRUE(infiniband);
    EXPECT_EQ(infiniband->hardwareSize, 20);
    EXPECT_EQ(infiniband->senderEthernet, "80:00:00:48:fe:80:00:00:00:00:00:00:00:02:11:00:00:00:00:00");
    EXPECT_EQ(infiniband->senderIp.description(), "10.0.0.1");
    EXPECT_EQ(infiniband->targetIp.description(), "10.0.0.2");
    EXPECT_EQ(fieldHex(*infiniband, data, Field::senderIp), "0a000001");
    EXPECT_EQ(infiniband->startIndex[Field::targetEthernet], 14u + 32u);
    EXPECT_EQ(fieldHex(*infiniband, data, Field::targetIp), "0a000002");
    EXPECT_EQ(infiniband->endIndex[Field::targetIp], 14u + 56u);
}
