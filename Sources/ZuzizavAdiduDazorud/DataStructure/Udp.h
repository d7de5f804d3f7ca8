#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/DecodeStatus.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>

#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ZuzizavAdiduDazorud {

// A UDP datagram. The payload runs to the end of the slice, whatever `length` says.
struct Udp {
    ByteSlice data;
    ByteSlice payload;
    std::uint64_t sourcePort = 0;
    std::uint64_t destinationPort = 0;
    std::uint64_t length = 0;
    std::uint64_t checksum = 0;
    FieldIndex startIndex;
    FieldIndex endIndex;

    DecodeStatus status = DecodeStatus::complete;

    // User-provided, so that emplacing a record runs the member initializers without zero-filling
    // the whole record first.
    Udp() {}

    static std::optional<Udp> decode(ByteSlice data);
    // Decodes into a default-constructed record, so a caller can decode in place. `data` takes the
    // bytes either way; false when they are not one (the other fields are then left half-filled).
    static bool decodeInto(Udp& record, ByteSlice bytes);

    std::string description() const;
    void appendDescription(text::LineWriter& out) const;
    std::string verboseDescription() const { return text::describeVerbosely(*this); }
    void appendVerboseDescription(text::LineWriter& out) const;
    std::string hexdump() const { return data.hexdump(); }
};

}  // namespace ZuzizavAdiduDazorud
