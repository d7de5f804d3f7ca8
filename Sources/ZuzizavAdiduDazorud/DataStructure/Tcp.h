#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Record.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ZuzizavAdiduDazorud {

// A TCP segment. Options stay at the front of `payload`.
struct Tcp : Record<Tcp> {
    static constexpr std::array carriedBy{IpKey{IpFamily::v4, ipProtocols::tcp}, IpKey{IpFamily::v6, ipProtocols::tcp}};

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

    Tcp() {}
    void reuse() {  // decodeInto sets the rest
        clearRecordButPositions();  // markHeader marks the header first
        options.reset();
    }

    static bool decodeInto(Tcp& record, ByteSlice&& bytes, const DecodeContext& context = {});

    // The set flags as letters in the order S U A P R F.
    std::string flagLetters() const;
    void appendDescription(text::LineWriter& out) const;
    void appendVerboseDescription(text::LineWriter& out) const;
};

}  // namespace ZuzizavAdiduDazorud
