#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Record.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer4.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ZuzizavAdiduDazorud {

// A BPDU's own fields, set back to their defaults at once when the record is decoded into again.
struct BpduFields {
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
};

// A spanning-tree bridge protocol data unit (IEEE 802.1D, 802.1w): a topology change notification (type
// 0x80, 4 bytes: protocol, version and type only), a configuration BPDU (type 0, 35 bytes, no v1Length),
// or a rapid spanning tree BPDU (36 bytes). Fields past a type's length are absent: zero, no position.
struct Bpdu : Record<Bpdu>, BpduFields {
    static constexpr std::array carriedBy{LlcKey{llc::spanningTree}};

    static constexpr std::uint8_t configuration = 0x00;
    static constexpr std::uint8_t topologyChangeNotification = 0x80;

    Layer4 layer4;  // always unknown with no bytes

    Bpdu() {}
    void reuse() {  // the transport layer stays: decodeInto sets it
        clearRecord();
        static_cast<BpduFields&>(*this) = BpduFields();
    }

    static bool decodeInto(Bpdu& record, ByteSlice&& bytes, const DecodeContext& context = {});

    bool isTopologyChangeNotification() const { return type == topologyChangeNotification; }
    // "TCA ", "AGR ", "FOR ", "TCH " for the flags that are set.
    std::string flagsText() const;
    void appendDescription(text::LineWriter& out) const;
    void appendVerboseDescription(text::LineWriter& out) const;
};

}  // namespace ZuzizavAdiduDazorud
