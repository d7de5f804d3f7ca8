#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Record.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ZuzizavAdiduDazorud {

// A UDP datagram. The payload runs to the end of the slice, whatever `length` says.
struct Udp : Record<Udp> {
    static constexpr std::array carriedBy{IpKey{IpFamily::v4, ipProtocols::udp}, IpKey{IpFamily::v6, ipProtocols::udp}};

    ByteSlice payload;
    std::uint64_t sourcePort = 0;
    std::uint64_t destinationPort = 0;
    std::uint64_t length = 0;
    std::uint64_t checksum = 0;

    Udp() {}
    void reuse() { clearRecordButPositions(); }  // decodeInto sets every field, markHeader the positions

    static bool decodeInto(Udp& record, ByteSlice&& bytes, const DecodeContext& context = {});

    void appendDescription(text::LineWriter& out) const;
    void appendVerboseDescription(text::LineWriter& out) const;
};

}  // namespace ZuzizavAdiduDazorud
