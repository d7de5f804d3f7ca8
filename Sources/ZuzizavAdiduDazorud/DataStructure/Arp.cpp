#include <ZuzizavAdiduDazorud/DataStructure/Arp.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

std::string_view rawValue(ArpOperation operation) {
    switch (operation) {
        case ArpOperation::arpRequest: return "ARP Request";
        case ArpOperation::arpReply: return "ARP Reply";
        case ArpOperation::rarpRequest: return "RARP Request";
        case ArpOperation::rarpReply: return "RARP Reply";
    }
    return "";
}

std::optional<ArpOperation> arpOperationFromRawValue(std::string_view text) {
    for (auto operation : {ArpOperation::arpRequest, ArpOperation::arpReply, ArpOperation::rarpRequest,
                           ArpOperation::rarpReply}) {
        if (rawValue(operation) == text) return operation;
    }
    return std::nullopt;
}

bool Arp::decodeInto(Arp& arp, ByteSlice bytes) {
    arp.data = std::move(bytes);
    const ByteSlice& data = arp.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    if (n < 28) {
        logError([&] { return "Unable to decode ARP from " + std::to_string(n) + " bytes"; });
        return false;
    }
    const std::size_t s = data.startIndex();
    arp.layer4 = Unknown{data.slice(s, s)};
    arp.hardwareType = r.u16(0);
    markField(arp, Field::hardwareType, s, s + 2);
    arp.protocolType = r.u16(2);
    markField(arp, Field::protocolType, s + 2, s + 4);
    arp.hardwareSize = r.u8(4);
    markField(arp, Field::hardwareSize, s + 4, s + 5);
    arp.protocolSize = r.u8(5);
    markField(arp, Field::protocolSize, s + 5, s + 6);
    const std::uint16_t code = r.u16(6);
    markField(arp, Field::operation, s + 6, s + 8);
    if (code < 1 || code > 4) {
        logError([&] { return "EtherCapture.Arp: invalid ARP operation " + std::to_string(code); });
        return false;
    }
    arp.operation = static_cast<ArpOperation>(code - 1);

    auto senderEthernet = data.slice(s + 8, s + 14).macAddressText();
    markField(arp, Field::senderEthernet, s + 8, s + 14);
    auto senderIp = IPv4Address::fromBytes(data.slice(s + 14, s + 18));
    markField(arp, Field::senderIp, s + 14, s + 18);
    auto targetEthernet = data.slice(s + 18, s + 24).macAddressText();
    markField(arp, Field::targetEthernet, s + 18, s + 24);
    auto targetIp = IPv4Address::fromBytes(data.slice(s + 24, s + 28));
    markField(arp, Field::targetIp, s + 24, s + 28);
    if (!senderEthernet || !senderIp || !targetEthernet || !targetIp || !r.ok()) {
        logError([&] { return "EtherCapture.Arp: unable to decode ARP from " + std::to_string(n) + " bytes"; });
        return false;
    }
    if (arp.hardwareType != 1 || arp.protocolType != 0x0800 || arp.hardwareSize != 6 || arp.protocolSize != 4) {
        logError([] { return "EtherCapture.Arp: invalid types or sizes detected"; });
        return false;
    }
    arp.senderEthernet = std::move(*senderEthernet);
    arp.senderIp = *senderIp;
    arp.targetEthernet = std::move(*targetEthernet);
    arp.targetIp = *targetIp;
    return true;
}

std::optional<Arp> Arp::decode(ByteSlice data) { return decodeRecord<Arp>(std::move(data)); }

std::string Arp::description() const {
    return std::string(rawValue(operation)) + " sender " + senderEthernet + " " + senderIp.description() + " target " +
           targetEthernet + " " + targetIp.description();
}

std::string Arp::verboseDescription() const {
    return description() + " hwType " + std::to_string(hardwareType) + " protType " + wordHexText(protocolType) + " hwSize " +
           std::to_string(hardwareSize) + " protSize " + std::to_string(protocolSize);
}

}  // namespace ZuzizavAdiduDazorud
