// Spanning-tree BPDUs: IEEE 802.1D-2004 clause 9 (configuration and topology change notification),
// IEEE 802.1Q-2018 clause 14 (rapid and multiple spanning tree, of which the common part is read).
#include <ZuzizavAdiduDazorud/DataStructure/Bpdu.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

namespace {

// A rapid spanning tree BPDU; a configuration BPDU ends before v1Length, a topology change notification
// after the type.
constexpr auto rapidFields = fieldLayout({
    {Field::protocolId, 0, 2},
    {Field::bpduVersion, 2, 3},
    {Field::type, 3, 4},
    {Field::flags, 4, 5},
    {Field::rootId, 5, 13},
    {Field::rootCost, 13, 17},
    {Field::bridgeId, 17, 25},
    {Field::portId, 25, 27},
    {Field::age, 27, 29},
    {Field::maxAge, 29, 31},
    {Field::helloTime, 31, 33},
    {Field::forwardDelay, 33, 35},
    {Field::v1Length, 35, 36},
});
constexpr auto configurationFields = rapidFields.first<12>();
constexpr auto notificationFields = rapidFields.first<3>();

// Times are counts of 1/256 seconds.
template <Field F>
double seconds(SliceReader& r) {
    return readField<rapidFields, F>(r) / 256.0;
}

}  // namespace

bool Bpdu::decodeInto(Bpdu& bpdu, ByteSlice&& bytes, const DecodeContext&) {
    bpdu.data = std::move(bytes);
    const ByteSlice& data = bpdu.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    // A topology change notification is 4 bytes, a configuration BPDU 35, a rapid or multiple
    // spanning-tree BPDU 36 or more; bytes past a type's length (padding) are not read.
    const std::uint8_t kind = readField<rapidFields, Field::type>(r);
    const std::size_t needed = kind == topologyChangeNotification ? 4 : kind == configuration ? 35 : 36;
    if (n < needed) {
        logError([&] { return "Unable to decode Bpdu from " + std::to_string(n) + " bytes"; });
        return false;
    }
    const std::size_t s = data.startIndex();
    bpdu.layer4 = Unknown{data.slice(s, s)};
    bpdu.protocolId = readField<rapidFields, Field::protocolId>(r);
    bpdu.bpduVersion = readField<rapidFields, Field::bpduVersion>(r);
    bpdu.type = kind;
    if (needed == 4) {
        markLayout(bpdu, notificationFields, s, data.endIndex());
        return r.ok();
    }
    const std::uint8_t flags = readField<rapidFields, Field::flags>(r);
    bpdu.flagTopChangeAgree = flags & 0x80;
    bpdu.flagAgreement = flags & 0x40;
    bpdu.flagForwarding = flags & 0x20;
    bpdu.flagLearning = flags & 0x10;
    bpdu.portRole = static_cast<std::uint8_t>((flags & 0x0c) >> 2);
    bpdu.flagProposal = flags & 0x02;
    bpdu.flagTopChange = flags & 0x01;
    bpdu.rootId = readField<rapidFields, Field::rootId>(r);
    bpdu.rootCost = readField<rapidFields, Field::rootCost>(r);
    bpdu.bridgeId = readField<rapidFields, Field::bridgeId>(r);
    bpdu.portId = readField<rapidFields, Field::portId>(r);
    bpdu.age = seconds<Field::age>(r);
    bpdu.maxAge = seconds<Field::maxAge>(r);
    bpdu.helloTime = seconds<Field::helloTime>(r);
    bpdu.forwardDelay = seconds<Field::forwardDelay>(r);
    if (needed == 36) {
        bpdu.v1Length = readField<rapidFields, Field::v1Length>(r);
        markLayout(bpdu, rapidFields, s, data.endIndex());
    } else {
        markLayout(bpdu, configurationFields, s, data.endIndex());
    }
    return r.ok();
}

std::string Bpdu::flagsText() const {
    std::string text;
    if (flagTopChangeAgree) text += "TCA ";
    if (flagAgreement) text += "AGR ";
    if (flagForwarding) text += "FOR ";
    if (flagTopChange) text += "TCH ";
    return text;
}

void Bpdu::appendDescription(text::LineWriter& out) const {
    out << "BPDU version ";
    out.decimal(bpduVersion) << " type ";
    out.decimal(type);
    if (isTopologyChangeNotification()) {
        out << " TCN";
        return;
    }
    out << " rootID 0x";
    out.hex(rootId) << " bridgeID 0x";
    out.hex(bridgeId) << " rootCost ";
    out.decimal(rootCost) << " portId ";
    out.decimal(portId);
}

void Bpdu::appendVerboseDescription(text::LineWriter& out) const {
    out << "BPDU protocol ";
    out.decimal(protocolId) << " version ";
    out.decimal(bpduVersion) << " type ";
    out.decimal(type);
    if (isTopologyChangeNotification()) {
        out << " TCN ";
    } else {
        out << " flags " << flagsText() << " portRole ";
        out.decimal(portRole) << " rootID 0x";
        out.hex(rootId) << " rootCost ";
        out.decimal(rootCost) << " bridgeID 0x";
        out.hex(bridgeId) << " portId ";
        out.decimal(portId) << " age " << shortestDecimal(age) << " maxAge " << shortestDecimal(maxAge)
                            << " helloTime " << shortestDecimal(helloTime) << " forwardDelay "
                            << shortestDecimal(forwardDelay) << ' ';
    }
    out.decimal(data.count()) << " bytes";
}

}  // namespace ZuzizavAdiduDazorud
