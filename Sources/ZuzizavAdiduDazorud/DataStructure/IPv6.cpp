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

namespace {

bool isExtensionHeader(std::uint8_t type) { return type == 0 || type == 43 || type == 44 || type == 60; }

// More than this many extension headers leave the rest undecoded.
constexpr std::size_t maximumExtensionHeaders = 8;

// Walks the extension headers from `offset`, recording each; gives the transport protocol, with
// `offset` at its header, or none when the headers are cut short, too many, or the packet is a
// fragment other than the first (`offset` then at the bytes left undecoded).
std::optional<std::uint8_t> walkExtensionHeaders(IPv6& ip, SliceReader& r, std::size_t& offset, std::uint8_t next) {
    const std::size_t s = ip.data.startIndex();
    const std::size_t n = r.count();
    while (isExtensionHeader(next)) {
        if (ip.extensionHeaders.size() == maximumExtensionHeaders || !r.has(offset, 8)) return std::nullopt;
        const bool fragment = next == 44;
        const std::size_t length = fragment ? 8 : (std::size_t{r.u8(offset + 1)} + 1) * 8;
        if (length > n - offset) return std::nullopt;
        IPv6ExtensionHeader& header = ip.extensionHeaders.emplace_back();
        header.headerType = next;
        header.nextHeader = r.u8(offset);
        header.length = length;
        const std::size_t o = s + offset;
        markField(header, Field::nextHeader, o, o + 1);
        if (fragment) {
            const std::uint16_t word = r.u16(offset + 2);
            header.fragmentOffset = static_cast<std::uint16_t>(word >> 3);
            header.moreFragments = (word & 1) != 0;
            header.identification = r.u32(offset + 4);
            markField(header, Field::fragmentOffset, o + 2, o + 4);
            markField(header, Field::identification, o + 4, o + 8);
        } else {
            markField(header, Field::headerLength, o + 1, o + 2);
            if (next == 43) {
                header.routingType = r.u8(offset + 2);
                header.segmentsLeft = r.u8(offset + 3);
                markField(header, Field::routingType, o + 2, o + 3);
                markField(header, Field::segmentsLeft, o + 3, o + 4);
            } else {
                markField(header, Field::options, o + 2, o + length);
            }
        }
        offset += length;
        next = header.nextHeader;
        // Only the first fragment carries the transport header.
        if (fragment && *header.fragmentOffset != 0) return std::nullopt;
    }
    return next;
}

}  // namespace

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
    if (byte0 >> 4 != 6) {
        logError([&] { return "IPv6: Invalid version " + std::to_string(byte0 >> 4) + " detected"; });
        return false;
    }
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
        return true;
    }
    std::size_t offset = 40;
    std::uint8_t next = ip.nextHeader;
    if (isExtensionHeader(next)) {
        std::optional<std::uint8_t> transport = walkExtensionHeaders(ip, r, offset, next);
        if (!transport) {
            // Cut short, too many, or a later fragment: the rest stays undecoded.
            ip.layer4.emplace<Unknown>().data = data.slice(s + offset, e);
            return true;
        }
        next = *transport;
    }
    if (next == 59 || next == 50) {
        // No next header, or an encrypted payload.
        ip.layer4.emplace<Unknown>().data = data.slice(s + offset, e);
    } else {
        decodeLayer4(ip.layer4, IpFamily::v6, next, data.slice(s + offset, e));
    }
    return true;
}

std::string_view IPv6ExtensionHeader::name() const {
    switch (headerType) {
        case 0: return "hopByHop";
        case 43: return "routing";
        case 44: return "fragment";
        case 60: return "destinationOptions";
        default: return "extension";
    }
}

std::string IPv6ExtensionHeader::description() const {
    std::string out(name());
    if (routingType) out += " type " + std::to_string(*routingType) + " segmentsLeft " + std::to_string(*segmentsLeft);
    if (fragmentOffset) {
        out += " offset " + std::to_string(*fragmentOffset) + " more " + (*moreFragments ? "true" : "false") + " id " +
               std::to_string(*identification);
    }
    return out + " length " + std::to_string(length) + " nextHeader " + std::to_string(nextHeader);
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
           " hopLimit " + std::to_string(hopLimit) + " Padding " + std::to_string(padding.count()) + " Bytes" +
           extensionText();
}

std::string IPv6::extensionText() const {
    std::string out;
    for (const auto& header : extensionHeaders) out += " " + header.description();
    return out;
}

}  // namespace ZuzizavAdiduDazorud
