#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer4.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ZuzizavAdiduDazorud {

// An IPv6 packet. Extension headers are not walked.
struct IPv6 {
    ByteSlice data;
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
    FieldIndex startIndex;
    FieldIndex endIndex;

    // User-provided, so that emplacing a record runs the member initializers without zero-filling
    // the whole record first.
    IPv6() {}

    static std::optional<IPv6> decode(ByteSlice data);
    // Decodes into a default-constructed record, so a caller can decode in place. `data` takes the
    // bytes either way; false when they are not one (the other fields are then left half-filled).
    static bool decodeInto(IPv6& record, ByteSlice bytes);

    std::string description() const;
    void appendDescription(text::LineWriter& out) const;
    std::string verboseDescription() const;
    std::string hexdump() const { return data.hexdump(); }
};

}  // namespace ZuzizavAdiduDazorud
