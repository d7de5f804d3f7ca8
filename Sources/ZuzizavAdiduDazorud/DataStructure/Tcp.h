#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/DecodeStatus.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>

#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ZuzizavAdiduDazorud {

// A TCP segment. Options stay at the front of `payload`.
struct Tcp {
    ByteSlice data;
    std::uint64_t sourcePort = 0;
    std::uint64_t destinationPort = 0;
    std::uint64_t sequenceNumber = 0;
    std::uint64_t acknowledgementNumber = 0;
    std::uint8_t dataOffset = 0;
    bool urg = false;
    bool ack = false;
    bool psh = false;
    bool rst = false;
    bool syn = false;
    bool fin = false;
    std::uint64_t window = 0;
    std::uint64_t checksum = 0;
    std::uint64_t urgentPointer = 0;
    std::optional<ByteSlice> options;
    ByteSlice payload;
    FieldIndex startIndex;
    FieldIndex endIndex;

    DecodeStatus status = DecodeStatus::complete;

    // User-provided, so that emplacing a record runs the member initializers without zero-filling
    // the whole record first.
    Tcp() {}

    static std::optional<Tcp> decode(ByteSlice data);
    // Decodes into a default-constructed record, so a caller can decode in place. `data` takes the
    // bytes either way; false when they are not one (the other fields are then left half-filled).
    static bool decodeInto(Tcp& record, ByteSlice bytes);

    // The set flags as letters in the order S U A P R F.
    std::string flagLetters() const;
    std::string description() const;
    void appendDescription(text::LineWriter& out) const;
    std::string verboseDescription() const { return text::describeVerbosely(*this); }
    void appendVerboseDescription(text::LineWriter& out) const;
    std::string hexdump() const { return data.hexdump(); }
};

}  // namespace ZuzizavAdiduDazorud
