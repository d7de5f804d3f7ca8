#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/DecodeStatus.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
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
struct Arp {
    std::uint16_t hardwareType = 0;
    std::uint16_t protocolType = 0;
    std::int64_t hardwareSize = 0;
    std::int64_t protocolSize = 0;
    ArpOperation operation = ArpOperation::arpRequest;
    std::string senderEthernet;
    IPv4Address senderIp;
    std::string targetEthernet;
    IPv4Address targetIp;
    ByteSlice data;
    FieldIndex startIndex;
    FieldIndex endIndex;
    Layer4 layer4;  // always unknown with no bytes

    DecodeStatus status = DecodeStatus::complete;

    // User-provided, so that emplacing a record runs the member initializers without zero-filling
    // the whole record first.
    Arp() {}

    static std::optional<Arp> decode(ByteSlice data);
    // Decodes into a default-constructed record, so a caller can decode in place. `data` takes the
    // bytes either way; false when they are not one (the other fields are then left half-filled).
    static bool decodeInto(Arp& record, ByteSlice bytes);

    std::string description() const { return text::describe(*this); }
    void appendDescription(text::LineWriter& out) const;
    std::string verboseDescription() const { return text::describeVerbosely(*this); }
    void appendVerboseDescription(text::LineWriter& out) const;
    std::string hexdump() const { return data.hexdump(); }
};

}  // namespace ZuzizavAdiduDazorud
