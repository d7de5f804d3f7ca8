#include <ZuzizavAdiduDazorud/DataStructure/IPv6.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

// Fixed header fields, at offsets from the record's start.
constexpr auto leadingFields = fieldLayout({
    {Field::version, 0, 1},
    {Field::trafficClass, 0, 2},
    {Field::flowLabel, 1, 4},
    {Field::payloadLength, 4, 6},
});

constexpr auto addressFields = fieldLayout({
    {Field::nextHeader, 6, 7},
    {Field::hopLimit, 7, 8},
    {Field::sourceIP, 8, 24},
    {Field::destinationIP, 24, 40},
});

bool IPv6::decodeInto(IPv6& ip, ByteSlice bytes) {
    ip.data = std::move(bytes);
    const ByteSlice& data = ip.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    if (n < 40) {
        logError([&] { return "IPv6: error short packet header size " + std::to_string(n); });
        return false;
    }
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();

    const std::uint8_t byte0 = r.u8(0);
    const std::uint8_t byte1 = r.u8(1);
    ip.version = byte0 >> 4;
    ip.trafficClass = static_cast<std::uint8_t>(((byte0 & 0x0f) << 4) | (byte1 >> 4));
    ip.flowLabel = (std::uint64_t{byte1 & 0x0fu} << 16) | (std::uint64_t{r.u8(2)} << 8) | r.u8(3);
    ip.payloadLength = r.u16(4);
    ip.nextHeader = r.u8(6);
    ip.hopLimit = r.u8(7);
    if (!r.ok()) return false;
    ip.sourceIP = IPv6Address(r.array<16>(8));
    ip.destinationIP = IPv6Address(r.array<16>(24));

    markLayout(ip, leadingFields, s, e);
    if (ip.payloadLength + 40 < n) {
        ip.padding = data.slice(s + 40 + ip.payloadLength, e);
        markField(ip, Field::padding, s + 40 + ip.payloadLength, e);
    } else {
        ip.padding = data.slice(e, e);
    }
    markLayout(ip, addressFields, s, e);

    if (s + 40 >= e) {
        ip.layer4.emplace<Unknown>().data = data.slice(e, e);
    } else {
        decodeLayer4(ip.layer4, IpFamily::v6, ip.nextHeader, data.slice(s + 40, e));
    }
    return true;
}

std::optional<IPv6> IPv6::decode(ByteSlice data) { return decodeRecord<IPv6>(std::move(data)); }

std::string IPv6::description() const { return text::describe(*this); }

void IPv6::appendDescription(text::LineWriter& out) const {
    char* p = out.reserve(128);  // at most 3 + 3 + 1 + 45 + 3 + 45 + 12 + 3
    p = text::writeText(p, "IPv");
    p = text::writeDecimal(p, version);
    *p++ = ' ';
    p = text::writeIPv6(p, sourceIP.rawValue().data());
    p = text::writeText(p, " > ");
    p = text::writeIPv6(p, destinationIP.rawValue().data());
    p = text::writeText(p, " nextHeader ");
    out.commit(text::writeDecimal(p, nextHeader));
}

std::string IPv6::verboseDescription() const {
    return "IPv" + std::to_string(version) + " " + sourceIP.description() + " > " + destinationIP.description() +
           " payload " + std::to_string(payloadLength) + " nextHeader " + std::to_string(nextHeader) +
           " trafficClass " + std::to_string(trafficClass) + " flowLabel " + std::to_string(flowLabel) +
           " hopLimit " + std::to_string(hopLimit) + " Padding " + std::to_string(padding.count()) + " Bytes";
}

}  // namespace ZuzizavAdiduDazorud
