#include <ZuzizavAdiduDazorud/DataStructure/Bpdu.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>
#include <ZuzizavAdiduDazorud/DataStructure/Igmp4.h>


namespace ZuzizavAdiduDazorud {

bool Bpdu::decodeInto(Bpdu& bpdu, ByteSlice bytes) {
    bpdu.data = std::move(bytes);
    const ByteSlice& data = bpdu.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    // A topology change notification is 4 bytes, a configuration BPDU 35, a rapid or multiple
    // spanning-tree BPDU 36 or more; bytes past a type's length (padding) are not read.
    const std::uint8_t kind = r.u8(3);
    const std::size_t needed = kind == topologyChangeNotification ? 4 : kind == configuration ? 35 : 36;
    if (n < needed) {
        logError([&] { return "Unable to decode Bpdu from " + std::to_string(n) + " bytes"; });
        return false;
    }
    const std::size_t s = data.startIndex();
    bpdu.layer4 = Unknown{data.slice(s, s)};
    // A count of 1/256 seconds: whole seconds in the first byte.
    auto time = [&](std::size_t offset) { return r.u8(offset) + r.u8(offset + 1) * 0.00390625; };
    auto mark = [&](Field field, std::size_t from, std::size_t to) { markField(bpdu, field, s + from, s + to); };

    bpdu.protocolId = r.u16(0);
    mark(Field::protocolId, 0, 2);
    bpdu.bpduVersion = r.u8(2);
    mark(Field::bpduVersion, 2, 3);
    bpdu.type = r.u8(3);
    mark(Field::type, 3, 4);
    if (needed == 4) return r.ok();
    const std::uint8_t flags = r.u8(4);
    bpdu.flagTopChangeAgree = flags & 0x80;
    bpdu.flagAgreement = flags & 0x40;
    bpdu.flagForwarding = flags & 0x20;
    bpdu.flagLearning = flags & 0x10;
    bpdu.portRole = static_cast<std::uint8_t>((flags & 0x0c) >> 2);
    bpdu.flagProposal = flags & 0x02;
    bpdu.flagTopChange = flags & 0x01;
    mark(Field::flags, 4, 5);
    bpdu.rootId = r.u64(5);
    mark(Field::rootId, 5, 13);
    bpdu.rootCost = r.u32(13);
    mark(Field::rootCost, 13, 17);
    bpdu.bridgeId = r.u64(17);
    mark(Field::bridgeId, 17, 25);
    bpdu.portId = r.u16(25);
    mark(Field::portId, 25, 27);
    bpdu.age = time(27);
    mark(Field::age, 27, 29);
    bpdu.maxAge = time(29);
    mark(Field::maxAge, 29, 31);
    bpdu.helloTime = time(31);
    mark(Field::helloTime, 31, 33);
    bpdu.forwardDelay = time(33);
    mark(Field::forwardDelay, 33, 35);
    if (needed == 36) {
        bpdu.v1Length = r.u8(35);
        mark(Field::v1Length, 35, 36);
    }
    return r.ok();
}

std::optional<Bpdu> Bpdu::decode(ByteSlice data) { return decodeRecord<Bpdu>(std::move(data)); }

std::string Bpdu::flagsText() const {
    std::string text;
    if (flagTopChangeAgree) text += "TCA ";
    if (flagAgreement) text += "AGR ";
    if (flagForwarding) text += "FOR ";
    if (flagTopChange) text += "TCH ";
    return text;
}

std::string Bpdu::description() const {
    if (isTopologyChangeNotification()) {
        return "BPDU version " + std::to_string(bpduVersion) + " type " + std::to_string(type) + " TCN";
    }
    return "BPDU version " + std::to_string(bpduVersion) + " type " + std::to_string(type) + " rootID " +
           formatNumber("0x%llx", rootId) + " bridgeID " + formatNumber("0x%llx", bridgeId) + " rootCost " + std::to_string(rootCost) +
           " portId " + std::to_string(portId);
}

std::string Bpdu::verboseDescription() const {
    if (isTopologyChangeNotification()) {
        return "BPDU protocol " + std::to_string(protocolId) + " version " + std::to_string(bpduVersion) + " type " +
               std::to_string(type) + " TCN " + std::to_string(data.count()) + " bytes";
    }
    return "BPDU protocol " + std::to_string(protocolId) + " version " + std::to_string(bpduVersion) + " type " +
           std::to_string(type) + " flags " + flagsText() + " portRole " + std::to_string(portRole) + " rootID " +
           formatNumber("0x%llx", rootId) + " rootCost " + std::to_string(rootCost) + " bridgeID " + formatNumber("0x%llx", bridgeId) +
           " portId " + std::to_string(portId) + " age " + shortestDecimal(age) + " maxAge " + shortestDecimal(maxAge) +
           " helloTime " + shortestDecimal(helloTime) + " forwardDelay " + shortestDecimal(forwardDelay) + " " +
           std::to_string(data.count()) + " bytes";
}

}  // namespace ZuzizavAdiduDazorud
