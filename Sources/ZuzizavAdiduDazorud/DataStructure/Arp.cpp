// Address Resolution Protocol: RFC 826; reverse ARP (operations 3 and 4, ethertype 0x8035): RFC 903.
#include <ZuzizavAdiduDazorud/DataStructure/Arp.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

namespace {

// Operation names by operation code less one.
constexpr std::string_view operationNames[] = {"ARP Request", "ARP Reply", "RARP Request", "RARP Reply"};

// The fixed part; the addresses follow at offsets the two sizes give.
constexpr auto fixedFields = fieldLayout({
    {Field::hardwareType, 0, 2},
    {Field::protocolType, 2, 4},
    {Field::hardwareSize, 4, 5},
    {Field::protocolSize, 5, 6},
    {Field::operation, 6, 8},
});
// The whole of the usual kind: Ethernet and IPv4 addresses.
constexpr auto ethernetIPv4Fields = joinedLayout(fixedFields, fieldLayout({
    {Field::senderEthernet, 8, 14},
    {Field::senderIp, 14, 18},
    {Field::targetEthernet, 18, 24},
    {Field::targetIp, 24, 28},
}));

}  // namespace

std::string_view rawValue(ArpOperation operation) { return operationNames[static_cast<std::size_t>(operation)]; }

std::optional<ArpOperation> arpOperationFromRawValue(std::string_view text) {
    for (auto operation : {ArpOperation::arpRequest, ArpOperation::arpReply, ArpOperation::rarpRequest,
                           ArpOperation::rarpReply}) {
        if (rawValue(operation) == text) return operation;
    }
    return std::nullopt;
}

namespace {

// Whether the sizes suit the types: IPv4 addresses are 4 bytes, Ethernet (1) and IEEE 802 (6) addresses
// 6; other hardware types may have any address length from 1 to 32.
bool consistent(std::uint16_t hardwareType, std::uint16_t protocolType, std::size_t hardwareSize,
                std::size_t protocolSize) {
    if (protocolType != etherTypes::ipv4 || protocolSize != 4) return false;
    if (hardwareType == 1 || hardwareType == 6) return hardwareSize == 6;
    return hardwareSize >= 1 && hardwareSize <= 32;
}

// The bytes as aa:bb:cc, written into `out` in place: a text of the same length as the last (a reused
// record's) is neither grown nor copied.
void colonHex(const ByteSlice& bytes, std::string& out) {
    const auto b = bytes.bytes();
    out.resize(b.empty() ? 0 : 3 * b.size() - 1);
    text::writeColonHex(out.data(), b);
}

}  // namespace

bool Arp::decodeInto(Arp& arp, ByteSlice&& bytes, const DecodeContext&) {
    arp.data = std::move(bytes);
    const ByteSlice& data = arp.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    // The addresses follow the fixed part at offsets the two sizes give.
    const std::size_t hardwareSize = readField<fixedFields, Field::hardwareSize>(r);
    const std::size_t protocolSize = readField<fixedFields, Field::protocolSize>(r);
    if (n < 8 || n < 8 + 2 * hardwareSize + 2 * protocolSize) {
        logError([&] { return "Unable to decode ARP from " + std::to_string(n) + " bytes"; });
        return false;
    }
    const std::size_t s = data.startIndex();
    arp.layer4.emplace<Unknown>().data.assignSlice(data, s, s);
    arp.hardwareType = readField<fixedFields, Field::hardwareType>(r);
    arp.protocolType = readField<fixedFields, Field::protocolType>(r);
    arp.hardwareSize = static_cast<std::int64_t>(hardwareSize);
    arp.protocolSize = static_cast<std::int64_t>(protocolSize);
    const std::uint16_t code = readField<fixedFields, Field::operation>(r);
    if (code < 1 || code > 4) {
        logError([&] { return "EtherCapture.Arp: invalid ARP operation " + std::to_string(code); });
        return false;
    }
    arp.operation = static_cast<ArpOperation>(code - 1);
    if (!consistent(arp.hardwareType, arp.protocolType, hardwareSize, protocolSize)) {
        logError([] { return "EtherCapture.Arp: invalid types or sizes detected"; });
        return false;
    }

    const std::size_t senderHardware = s + 8;
    const std::size_t senderProtocol = senderHardware + hardwareSize;
    const std::size_t targetHardware = senderProtocol + 4;
    const std::size_t targetProtocol = targetHardware + hardwareSize;
    colonHex(data.slice(senderHardware, senderProtocol), arp.senderEthernet);
    arp.senderIp = IPv4Address(r.array<4>(senderProtocol - s));
    colonHex(data.slice(targetHardware, targetProtocol), arp.targetEthernet);
    arp.targetIp = IPv4Address(r.array<4>(targetProtocol - s));
    if (hardwareSize == 6) {
        markLayout(arp, ethernetIPv4Fields, s, data.endIndex());
    } else {
        markLayout(arp, fixedFields, s, data.endIndex());
        markField(arp, Field::senderEthernet, senderHardware, senderProtocol);
        markField(arp, Field::senderIp, senderProtocol, targetHardware);
        markField(arp, Field::targetEthernet, targetHardware, targetProtocol);
        markField(arp, Field::targetIp, targetProtocol, targetProtocol + 4);
    }
    if (!r.ok()) {
        logError([&] { return "EtherCapture.Arp: unable to decode ARP from " + std::to_string(n) + " bytes"; });
        return false;
    }
    return true;
}

void Arp::appendDescription(text::LineWriter& out) const {
    out << rawValue(operation) << " sender " << senderEthernet << ' ' << senderIp << " target " << targetEthernet
        << ' ' << targetIp;
}

void Arp::appendVerboseDescription(text::LineWriter& out) const {
    out << *this << " hwType ";
    out.decimal(hardwareType) << " protType " << wordHexText(protocolType) << " hwSize ";
    out.decimal(hardwareSize) << " protSize ";
    out.decimal(protocolSize);
}

}  // namespace ZuzizavAdiduDazorud
