#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Record.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer4.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ZuzizavAdiduDazorud {

// An IPv6 extension header (RFC 8200): hop-by-hop options (0), routing (43), fragment (44) or destination
// options (60). Positions: nextHeader, headerLength (not for fragment), options (hop-by-hop and
// destination options), routingType and segmentsLeft (routing), fragmentOffset and identification
// (fragment).
struct IPv6ExtensionHeader {
    std::uint8_t headerType = 0;  // the next-header value that named this header
    std::uint8_t nextHeader = 0;
    std::size_t length = 0;       // in bytes, the first two included
    std::optional<std::uint8_t> routingType;
    std::optional<std::uint8_t> segmentsLeft;
    std::optional<std::uint16_t> fragmentOffset;  // in units of 8 bytes
    std::optional<bool> moreFragments;
    std::optional<std::uint32_t> identification;
    FieldIndex startIndex;
    FieldIndex endIndex;

    // "hopByHop", "routing", "fragment" or "destinationOptions"
    std::string_view name() const;
    // "fragment offset 0 more true id 305419896 length 8 nextHeader 17"
    std::string description() const { return text::describe(*this); }
    void appendDescription(text::LineWriter& out) const;
};

// An IPv6 packet. Extension headers are walked up to the transport header; only a first fragment
// has one.
struct IPv6 : Record<IPv6> {
    static constexpr std::array carriedBy{EtherTypeKey{etherTypes::ipv6}};
    static constexpr bool carriesLayer4 = true;  // the frame's layer 4 is this record's

    std::uint8_t version = 0;
    std::uint8_t trafficClass = 0;
    std::uint64_t flowLabel = 0;
    std::uint64_t payloadLength = 0;
    std::uint8_t nextHeader = 0;
    std::uint8_t hopLimit = 0;
    IPv6Address sourceIP;
    IPv6Address destinationIP;
    Layer4 layer4;
    ByteSlice padding;
    std::vector<IPv6ExtensionHeader> extensionHeaders;

    IPv6() {}
    void reuse() {  // decodeInto sets the rest; the list keeps its room, the transport layer is decoded again
        clearRecord();
        extensionHeaders.clear();
        padding = ByteSlice();
    }

    static bool decodeInto(IPv6& record, ByteSlice&& bytes, const DecodeContext& context = {});

    void appendDescription(text::LineWriter& out) const;
    void appendVerboseDescription(text::LineWriter& out) const;
};

}  // namespace ZuzizavAdiduDazorud
