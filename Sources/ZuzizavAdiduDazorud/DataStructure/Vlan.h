#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <cstdint>
#include <string>

namespace ZuzizavAdiduDazorud {

// An IEEE 802.1Q (TPID 0x8100) or 802.1ad (TPID 0x88a8) tag: the TPID, the tag control information and the
// type that follows the tag. Positions: tpid, priorityCode, dropEligible and vlanId, and the type
// that follows under etherType.
struct Vlan {
    std::uint16_t tpid = 0;
    std::uint8_t priorityCode = 0;  // PCP, 3 bits
    bool dropEligible = false;      // DEI
    std::uint16_t vlanId = 0;       // VID, 12 bits
    std::uint16_t etherType = 0;    // the type of what the tag carries
    FieldIndex startIndex;
    FieldIndex endIndex;

    // "vlan 100", as tcpdump writes it.
    std::string description() const { return "vlan " + std::to_string(vlanId); }
    // "VLAN 100 PCP 0 DEI 0 Ethertype 0x0800"
    std::string verboseDescription() const { return text::describeVerbosely(*this); }
    void appendVerboseDescription(text::LineWriter& out) const;
};

}  // namespace ZuzizavAdiduDazorud
