#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer4.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ZuzizavAdiduDazorud {

// A spanning-tree bridge protocol data unit (the 36-byte rapid spanning tree layout).
struct Bpdu {
    std::uint16_t protocolId = 0;
    std::uint8_t bpduVersion = 0;
    std::uint8_t type = 0;
    bool flagTopChangeAgree = false;
    bool flagAgreement = false;
    bool flagForwarding = false;
    bool flagLearning = false;
    std::uint8_t portRole = 0;
    bool flagProposal = false;
    bool flagTopChange = false;
    std::uint64_t rootId = 0;
    std::uint32_t rootCost = 0;
    std::uint64_t bridgeId = 0;
    std::uint16_t portId = 0;
    double age = 0;
    double maxAge = 0;
    double helloTime = 0;
    double forwardDelay = 0;
    std::uint8_t v1Length = 0;
    ByteSlice data;
    FieldIndex startIndex;
    FieldIndex endIndex;
    Layer4 layer4;  // always unknown with no bytes

    // User-provided, so that emplacing a record runs the member initializers without zero-filling
    // the whole record first.
    Bpdu() {}

    static std::optional<Bpdu> decode(ByteSlice data);
    // Decodes into a default-constructed record, so a caller can decode in place. `data` takes the
    // bytes either way; false when they are not one (the other fields are then left half-filled).
    static bool decodeInto(Bpdu& record, ByteSlice bytes);

    // "TCA ", "AGR ", "FOR ", "TCH " for the flags that are set.
    std::string flagsText() const;
    std::string description() const;
    std::string verboseDescription() const;
    std::string hexdump() const { return data.hexdump(); }
};

}  // namespace ZuzizavAdiduDazorud
