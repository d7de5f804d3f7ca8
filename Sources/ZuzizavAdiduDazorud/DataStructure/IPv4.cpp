#include <ZuzizavAdiduDazorud/DataStructure/IPv4.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

// Fixed header fields, at offsets from the record's start.
constexpr auto headerFields = fieldLayout({
    {Field::version, 0, 1},
    {Field::ihl, 0, 1},
    {Field::dscp, 1, 2},
    {Field::ecn, 1, 2},
    {Field::totalLength, 2, 4},
    {Field::identification, 4, 6},
    {Field::flags, 6, 7},
    {Field::fragmentOffset, 6, 8},
    {Field::ttl, 8, 9},
    {Field::ipProtocol, 9, 10},
    {Field::headerChecksum, 10, 12},
    {Field::sourceIP, 12, 16},
    {Field::destinationIP, 16, 20},
});

bool IPv4::decodeInto(IPv4& ip, ByteSlice bytes) {
    ip.data = std::move(bytes);
    const ByteSlice& data = ip.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    if (n < 20) return false;
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();

    const std::uint8_t byte0 = r.u8(0);
    if (byte0 >> 4 != 4) {
        logError([&] { return "IPv4: Invalid version " + std::to_string(byte0 >> 4) + " detected"; });
        return false;
    }
    const std::uint8_t ihl = byte0 & 0x0f;
    if (ihl < 5) {
        logError([&] { return "IPv4: Invalid ihl " + std::to_string(ihl) + " detected"; });
        return false;
    }

    const std::size_t h = std::size_t{ihl} * 4;
    ip.sourceIP = IPv4Address(r.array<4>(12));
    ip.destinationIP = IPv4Address(r.array<4>(16));
    ip.ipProtocol = r.u8(9);
    const std::uint8_t byte6 = r.u8(6);
    ip.fragmentOffset = std::uint64_t{byte6 & 0x1fu} * 256 + r.u8(7);
    if (s + h >= e) {
        ip.layer4.emplace<Unknown>().data = data.slice(e, e);
    } else if (ip.fragmentOffset != 0) {
        // Only the first fragment carries the transport header.
        ip.layer4.emplace<Unknown>().data = data.slice(s + h, e);
    } else {
        decodeLayer4(ip.layer4, IpFamily::v4, ip.ipProtocol, data.slice(s + h, e));
    }
    ip.version = byte0 >> 4;
    ip.ihl = ihl;
    const std::uint8_t byte1 = r.u8(1);
    ip.dscp = byte1 >> 2;
    ip.ecn = byte1 & 0x03;
    ip.totalLength = r.u16(2);
    ip.identification = r.u16(4);
    ip.evilBit = byte6 & 0x80;
    ip.dontFragmentFlag = byte6 & 0x40;
    ip.moreFragmentsFlag = byte6 & 0x20;
    ip.ttl = r.u8(8);
    ip.headerChecksum = r.u16(10);
    if (!r.ok()) return false;

    markLayout(ip, headerFields, s, e);
    if (ip.totalLength < n) {
        ip.padding = data.slice(s + ip.totalLength, e);
        markField(ip, Field::padding, s + ip.totalLength, e);
    } else {
        ip.padding = data.slice(e, e);
    }
    if (ihl >= 6 && s + h <= e) {
        ip.options = data.slice(s + 20, s + h);
        markField(ip, Field::options, s + 20, s + h);
    }
    return true;
}

std::optional<IPv4> IPv4::decode(ByteSlice data) { return decodeRecord<IPv4>(std::move(data)); }

std::string IPv4::description() const { return text::describe(*this); }

void IPv4::appendDescription(text::LineWriter& out) const {
    char* p = out.reserve(80);  // at most 51, and 14 for a fragment offset
    p = text::writeText(p, "IPv");
    p = text::writeDecimal(p, version);
    *p++ = ' ';
    p = text::writeDottedQuad(p, sourceIP.rawValue().data());
    p = text::writeText(p, " > ");
    p = text::writeDottedQuad(p, destinationIP.rawValue().data());
    p = text::writeText(p, " ipProt ");
    p = text::writeDecimal(p, ipProtocol);
    if (fragmentOffset != 0) {  // a later fragment: no transport header follows
        p = text::writeText(p, " FragOff ");
        p = text::writeDecimal(p, fragmentOffset);
    }
    out.commit(p);
}

std::string IPv4::verboseDescription() const {
    return "IPv" + std::to_string(version) + " " + sourceIP.description() + " > " + destinationIP.description() +
           " IHL " + std::to_string(ihl) + " DSCP " + byteHexText(dscp) + " ECN " + byteHexText(ecn) + " TotLen " +
           std::to_string(totalLength) + " id " + std::to_string(identification) + " NoFrag " +
           (dontFragmentFlag ? "true" : "false") + " MoreFrag " + (moreFragmentsFlag ? "true" : "false") +
           " FragOff " + std::to_string(fragmentOffset) + " TTL " + std::to_string(ttl) + " IpProt " +
           std::to_string(ipProtocol) + " HdrChecksum " + std::to_string(headerChecksum) + " " +
           (options ? "OPTIONS" : "") + " Padding " + std::to_string(padding.count()) + " Bytes";
}

}  // namespace ZuzizavAdiduDazorud
