#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Record.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer4.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ZuzizavAdiduDazorud {

enum class ArpOperation : std::uint8_t { arpRequest, arpReply, rarpRequest, rarpReply };
// "ARP Request", "ARP Reply", "RARP Request", "RARP Reply".
std::string_view rawValue(ArpOperation operation);
std::optional<ArpOperation> arpOperationFromRawValue(std::string_view rawValue);

// An ARP or RARP message (RFC 826, 903) for IPv4, over Ethernet or any other hardware whose address
// length the message gives; the hardware addresses as colon hex.
struct Arp : Record<Arp> {
    static constexpr std::array carriedBy{EtherTypeKey{etherTypes::arp}, EtherTypeKey{etherTypes::rarp}};

    std::uint16_t hardwareType = 0;
    std::uint16_t protocolType = 0;
    std::int64_t hardwareSize = 0;
    std::int64_t protocolSize = 0;
    ArpOperation operation = ArpOperation::arpRequest;
    std::string senderEthernet;
    IPv4Address senderIp;
    std::string targetEthernet;
    IPv4Address targetIp;
    Layer4 layer4;  // always unknown with no bytes

    Arp() {}
    void reuse() { clearRecord(); }  // decodeInto sets every field, the texts within their room

    static bool decodeInto(Arp& record, ByteSlice&& bytes, const DecodeContext& context = {});

    void appendDescription(text::LineWriter& out) const;
    void appendVerboseDescription(text::LineWriter& out) const;
};

}  // namespace ZuzizavAdiduDazorud
