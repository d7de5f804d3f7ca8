#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Record.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer4.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ZuzizavAdiduDazorud {

// An IPv4 packet. `data` is the whole slice given (header, payload and padding).
struct IPv4 : Record<IPv4> {
    static constexpr std::array carriedBy{EtherTypeKey{etherTypes::ipv4}};
    static constexpr bool carriesLayer4 = true;  // the frame's layer 4 is this record's

    IPv4Address sourceIP;
    IPv4Address destinationIP;
    std::uint8_t version = 0;
    std::uint8_t ihl = 0;
    std::uint8_t dscp = 0;
    std::uint8_t ecn = 0;
    std::uint64_t totalLength = 0;
    std::uint64_t identification = 0;
    bool evilBit = false;
    bool dontFragmentFlag = false;
    bool moreFragmentsFlag = false;
    std::uint64_t fragmentOffset = 0;
    std::uint8_t ttl = 0;
    std::uint8_t ipProtocol = 0;
    std::uint64_t headerChecksum = 0;
    std::optional<ByteSlice> options;
    ByteSlice padding;
    Layer4 layer4;

    // The fixed header, at offsets from the record's start.
    static constexpr auto headerFields = fieldLayout({
        {Field::version, 0, 1},
        {Field::ihl, 0, 1},
        {Field::dscp, 1, 2},
        {Field::ecn, 1, 2},
        {Field::totalLength, 2, 4},
        {Field::identification, 4, 6},
        {Field::flags, 6, 7},
        {Field::fragmentOffset, 6, 8},
        {Field::ttl, 8, 9},
        {Field::ipProtocol, 9, 10},
        {Field::headerChecksum, 10, 12},
        {Field::sourceIP, 12, 16},
        {Field::destinationIP, 16, 20},
    });

    IPv4() {}
    // decodeInto sets every field but these; the transport layer is decoded into again in its turn.
    void reuse() {
        clearRecordButPositions();  // markHeader marks the header first
        options.reset();
    }

    static bool decodeInto(IPv4& record, ByteSlice&& bytes, const DecodeContext& context = {});

    // "IPv4 10.0.0.1 > 10.0.0.2 ipProt 17"
    void appendDescription(text::LineWriter& out) const;
    void appendVerboseDescription(text::LineWriter& out) const;
};

}  // namespace ZuzizavAdiduDazorud
