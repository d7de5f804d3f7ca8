// Internet Protocol version 6: RFC 8200 (header, section 3; extension headers, section 4).
#include <ZuzizavAdiduDazorud/DataStructure/IPv6.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/DataStructure/TransportDecoding.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

// Fixed header fields, at offsets from the record's start.
constexpr auto headerFields = fieldLayout({
    {Field::version, 0, 1},
    {Field::trafficClass, 0, 2},
    {Field::flowLabel, 1, 4},
    {Field::payloadLength, 4, 6},
    {Field::nextHeader, 6, 7},
    {Field::hopLimit, 7, 8},
    {Field::sourceIP, 8, 24},
    {Field::destinationIP, 24, 40},
});

// Extension headers, at offsets from the header's start; options run to its end.
constexpr auto optionsHeaderFields = fieldLayout({
    {Field::nextHeader, 0, 1},
    {Field::headerLength, 1, 2},
    {Field::options, 2, toEnd},
});
constexpr auto routingHeaderFields = fieldLayout({
    {Field::nextHeader, 0, 1},
    {Field::headerLength, 1, 2},
    {Field::routingType, 2, 3},
    {Field::segmentsLeft, 3, 4},
});
constexpr auto fragmentHeaderFields = fieldLayout({
    {Field::nextHeader, 0, 1},
    {Field::fragmentOffset, 2, 4},
    {Field::identification, 4, 8},
});

// Extension header names by next-header value.
constexpr std::pair<std::uint8_t, std::string_view> extensionNames[] = {
    {0, "hopByHop"}, {43, "routing"}, {44, "fragment"}, {60, "destinationOptions"}};

namespace {

bool isExtensionHeader(std::uint8_t type) { return type == 0 || type == 43 || type == 44 || type == 60; }

// More than this many extension headers leave the rest undecoded.
constexpr std::size_t maximumExtensionHeaders = 8;

// Walks the extension headers from `offset`, recording each; gives the transport protocol, with
// `offset` at its header, or none when the headers are cut short, too many, or the packet is a
// fragment other than the first (`offset` then at the bytes left undecoded).
std::optional<std::uint8_t> walkExtensionHeaders(IPv6& ip, SliceReader& r, std::size_t& offset, std::uint8_t next,
                                                 const DecodeContext& context) {
    const std::size_t s = ip.data.startIndex();
    const std::size_t n = r.count();
    while (isExtensionHeader(next)) {
        if (ip.extensionHeaders.size() == maximumExtensionHeaders) return std::nullopt;
        if (!r.has(offset, 8)) {
            markShort(ip.status, context);
            return std::nullopt;
        }
        const bool fragment = next == 44;
        const std::size_t length =
            fragment ? 8 : (std::size_t{readField<optionsHeaderFields, Field::headerLength>(r, offset)} + 1) * 8;
        if (length > n - offset) {
            markShort(ip.status, context);
            return std::nullopt;
        }
        IPv6ExtensionHeader& header = ip.extensionHeaders.emplace_back();
        header.headerType = next;
        header.nextHeader = readField<optionsHeaderFields, Field::nextHeader>(r, offset);
        header.length = length;
        const std::size_t o = s + offset;
        if (fragment) {
            const std::uint16_t word = readField<fragmentHeaderFields, Field::fragmentOffset>(r, offset);
            header.fragmentOffset = static_cast<std::uint16_t>(word >> 3);
            header.moreFragments = (word & 1) != 0;
            header.identification = readField<fragmentHeaderFields, Field::identification>(r, offset);
            markLayout(header, fragmentHeaderFields, o, o + length);
        } else if (next == 43) {
            header.routingType = readField<routingHeaderFields, Field::routingType>(r, offset);
            header.segmentsLeft = readField<routingHeaderFields, Field::segmentsLeft>(r, offset);
            markLayout(header, routingHeaderFields, o, o + length);
        } else {
            markLayout(header, optionsHeaderFields, o, o + length);
        }
        offset += length;
        next = header.nextHeader;
        // Only the first fragment carries the transport header.
        if (fragment && *header.fragmentOffset != 0) return std::nullopt;
    }
    return next;
}

}  // namespace

bool IPv6::decodeInto(IPv6& ip, ByteSlice&& bytes, const DecodeContext& context) {
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

    const std::uint8_t version = readField<headerFields, Field::version>(r) >> 4;
    if (version != 6) {
        logError([&] { return "IPv6: Invalid version " + std::to_string(version) + " detected"; });
        return false;
    }
    ip.version = version;
    ip.trafficClass = static_cast<std::uint8_t>(readField<headerFields, Field::trafficClass>(r) >> 4);
    ip.flowLabel = readField<headerFields, Field::flowLabel>(r) & 0xfffffu;
    ip.payloadLength = readField<headerFields, Field::payloadLength>(r);
    ip.nextHeader = readField<headerFields, Field::nextHeader>(r);
    ip.hopLimit = readField<headerFields, Field::hopLimit>(r);
    ip.sourceIP = IPv6Address(readBytes<headerFields, Field::sourceIP>(r));
    ip.destinationIP = IPv6Address(readBytes<headerFields, Field::destinationIP>(r));
    if (!r.ok()) return false;

    markLayout(ip, headerFields, s, e);
    if (ip.payloadLength + 40 > n) markShort(ip.status, context);
    if (ip.payloadLength + 40 < n) {
        ip.padding.assignSlice(data, s + 40 + ip.payloadLength, e);
        markField(ip, Field::padding, s + 40 + ip.payloadLength, e);
    } else {
        ip.padding.assignSlice(data, e, e);
    }

    if (s + 40 >= e) {
        ip.layer4.emplace<Unknown>().data.assignSlice(data, e, e);
        return true;
    }
    std::size_t offset = 40;
    std::uint8_t next = ip.nextHeader;
    if (isExtensionHeader(next)) {
        std::optional<std::uint8_t> transport = walkExtensionHeaders(ip, r, offset, next, context);
        if (!transport) {
            // Cut short, too many, or a later fragment: the rest stays undecoded.
            ip.layer4.emplace<Unknown>().data.assignSlice(data, s + offset, e);
            return true;
        }
        next = *transport;
    }
    if (next == 59 || next == 50) {
        // No next header, or an encrypted payload.
        ip.layer4.emplace<Unknown>().data.assignSlice(data, s + offset, e);
    } else {
        ip.layer4.decode<InlineTransports>(IpKey{IpFamily::v6, next}, data, s + offset, e, context);
    }
    return true;
}

std::string_view IPv6ExtensionHeader::name() const {
    for (const auto& [type, name] : extensionNames) {
        if (type == headerType) return name;
    }
    return "extension";
}

void IPv6ExtensionHeader::appendDescription(text::LineWriter& out) const {
    out << name();
    if (routingType) {
        out << " type ";
        out.decimal(*routingType) << " segmentsLeft ";
        out.decimal(segmentsLeft.value_or(0));
    }
    if (fragmentOffset) {
        out << " offset ";
        out.decimal(*fragmentOffset) << " more ";
        out.boolean(moreFragments.value_or(false)) << " id ";
        out.decimal(identification.value_or(0));
    }
    out << " length ";
    out.decimal(length) << " nextHeader ";
    out.decimal(nextHeader);
}

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

void IPv6::appendVerboseDescription(text::LineWriter& out) const {
    out << "IPv";
    out.decimal(version) << ' ' << sourceIP << " > " << destinationIP << " payload ";
    out.decimal(payloadLength) << " nextHeader ";
    out.decimal(nextHeader) << " trafficClass ";
    out.decimal(trafficClass) << " flowLabel ";
    out.decimal(flowLabel) << " hopLimit ";
    out.decimal(hopLimit) << " Padding ";
    out.decimal(padding.count()) << " Bytes";
    for (const auto& header : extensionHeaders) out << ' ' << header;
    appendStatus(out, status);
}

}  // namespace ZuzizavAdiduDazorud
