#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/DecodeStatus.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer4.h>

#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ZuzizavAdiduDazorud {

// An IPv4 packet. `data` is the whole slice given (header, payload and padding).
struct IPv4 {
    IPv4Address sourceIP;
    IPv4Address destinationIP;
    ByteSlice data;
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
    FieldIndex startIndex;
    FieldIndex endIndex;
    Layer4 layer4;

    DecodeStatus status = DecodeStatus::complete;

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

    // User-provided, so that emplacing a record runs the member initializers without zero-filling
    // the whole record first.
    IPv4() {}

    static std::optional<IPv4> decode(ByteSlice data);
    // Decodes into a default-constructed record, so a caller can decode in place. `data` takes the
    // bytes either way; false when they are not one (the other fields are then left half-filled).
    static bool decodeInto(IPv4& record, ByteSlice bytes);

    // "IPv4 10.0.0.1 > 10.0.0.2 ipProt 17"
    std::string description() const;
    void appendDescription(text::LineWriter& out) const;
    std::string verboseDescription() const { return text::describeVerbosely(*this); }
    void appendVerboseDescription(text::LineWriter& out) const;
    std::string hexdump() const { return data.hexdump(); }
};

}  // namespace ZuzizavAdiduDazorud
