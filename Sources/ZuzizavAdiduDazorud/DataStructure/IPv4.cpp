// Internet Protocol version 4: RFC 791, with the DS field and ECN of RFC 2474 and RFC 3168.
#include <ZuzizavAdiduDazorud/DataStructure/IPv4.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/DataStructure/TransportDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

bool IPv4::decodeInto(IPv4& ip, ByteSlice&& bytes, const DecodeContext& context) {
    ip.data = std::move(bytes);
    const ByteSlice& data = ip.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    if (n < 20) return false;
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();

    const std::uint8_t version = readField<headerFields, Field::version>(r) >> 4;
    if (version != 4) {
        logError([&] { return "IPv4: Invalid version " + std::to_string(version) + " detected"; });
        return false;
    }
    const std::uint8_t ihl = readField<headerFields, Field::ihl>(r) & 0x0f;
    if (ihl < 5) {
        logError([&] { return "IPv4: Invalid ihl " + std::to_string(ihl) + " detected"; });
        return false;
    }

    const std::size_t h = std::size_t{ihl} * 4;
    ip.sourceIP = IPv4Address(readBytes<headerFields, Field::sourceIP>(r));
    ip.destinationIP = IPv4Address(readBytes<headerFields, Field::destinationIP>(r));
    ip.ipProtocol = readField<headerFields, Field::ipProtocol>(r);
    ip.fragmentOffset = readField<headerFields, Field::fragmentOffset>(r) & 0x1fffu;
    ip.version = version;
    ip.ihl = ihl;
    const std::uint8_t serviceType = readField<headerFields, Field::dscp>(r);
    ip.dscp = serviceType >> 2;
    ip.ecn = serviceType & 0x03;
    ip.totalLength = readField<headerFields, Field::totalLength>(r);
    if (ip.totalLength < h) {
        ip.status = DecodeStatus::malformed;
    } else if (ip.totalLength > n) {
        markShort(ip.status, context);
    }
    ip.identification = readField<headerFields, Field::identification>(r);
    const std::uint8_t flags = readField<headerFields, Field::flags>(r);
    ip.evilBit = flags & 0x80;
    ip.dontFragmentFlag = flags & 0x40;
    ip.moreFragmentsFlag = flags & 0x20;
    ip.ttl = readField<headerFields, Field::ttl>(r);
    ip.headerChecksum = readField<headerFields, Field::headerChecksum>(r);
    if (!r.ok()) return false;

    markHeader(ip, headerFields, s, e);
    if (ip.totalLength < n) {
        ip.padding.assignSlice(data, s + ip.totalLength, e);
        markField(ip, Field::padding, s + ip.totalLength, e);
    } else {
        ip.padding.assignSlice(data, e, e);
    }
    if (ihl >= 6 && s + h <= e) {
        ip.options = data.slice(s + 20, s + h);
        markField(ip, Field::options, s + 20, s + h);
    }
    // The transport last, when the header's fields are all read.
    if (s + h >= e) {
        ip.layer4.emplace<Unknown>().data.assignSlice(data, e, e);
    } else if (ip.fragmentOffset != 0) {
        // Only the first fragment carries the transport header.
        ip.layer4.emplace<Unknown>().data.assignSlice(data, s + h, e);
    } else {
        ip.layer4.decode<InlineTransports>(IpKey{IpFamily::v4, ip.ipProtocol}, data, s + h, e, context);
    }
    return true;
}

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

void IPv4::appendVerboseDescription(text::LineWriter& out) const {
    out << "IPv";
    out.decimal(version) << ' ' << sourceIP << " > " << destinationIP << " IHL ";
    out.decimal(ihl) << " DSCP " << byteHexText(dscp) << " ECN " << byteHexText(ecn) << " TotLen ";
    out.decimal(totalLength) << " id ";
    out.decimal(identification) << " NoFrag ";
    out.boolean(dontFragmentFlag) << " MoreFrag ";
    out.boolean(moreFragmentsFlag) << " FragOff ";
    out.decimal(fragmentOffset) << " TTL ";
    out.decimal(ttl) << " IpProt ";
    out.decimal(ipProtocol) << " HdrChecksum ";
    out.decimal(headerChecksum) << ' ' << (options ? "OPTIONS" : "") << " Padding ";
    out.decimal(padding.count()) << " Bytes";
    appendStatus(out, status);
}

}  // namespace ZuzizavAdiduDazorud
