// Link layers: Ethernet II and IEEE 802.3 with 802.2 LLC and SNAP (IEEE 802-2014 clause 10, RFC 1042),
// IEEE 802.1Q tags, Linux cooked headers (SLL, SLL2), raw IP and BSD loopback (the pcap link types).
#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

#include <atomic>

namespace ZuzizavAdiduDazorud {

// Fixed header fields, at offsets from the frame's start.
constexpr auto ethernetFields = fieldLayout({
    {Field::dstmac, 0, 6},
    {Field::srcmac, 6, 12},
    {Field::ethertype, 12, 14},
});
constexpr auto ieee8023Fields = fieldLayout({
    {Field::dstmac, 0, 6},
    {Field::srcmac, 6, 12},
    {Field::ieeeLength, 12, 14},
    {Field::ieeeDsap, 14, 15},
    {Field::ieeeSsap, 15, 16},
    {Field::ieeeControl, 16, 17},
});
// Linux cooked headers; the address runs for its length, at most 8 bytes.
constexpr auto sllFields = fieldLayout({
    {Field::packetType, 0, 2},
    {Field::linkHardwareType, 2, 4},
    {Field::linkAddressLength, 4, 6},
    {Field::linkProtocol, 14, 16},
});
constexpr auto sll2Fields = fieldLayout({
    {Field::linkProtocol, 0, 2},
    {Field::interfaceIndex, 4, 8},
    {Field::linkHardwareType, 8, 10},
    {Field::packetType, 10, 11},
    {Field::linkAddressLength, 11, 12},
});
constexpr std::size_t sllAddressAt = 6;
constexpr std::size_t sll2AddressAt = 12;
constexpr auto nullFields = fieldLayout({{Field::addressFamily, 0, 4}});

// At offsets from the LLC header or the SNAP header.
constexpr auto llcFields = fieldLayout({
    {Field::ieeeDsap, 0, 1},
    {Field::ieeeSsap, 1, 2},
    {Field::ieeeControl, 2, 3},
});
constexpr auto snapFields = fieldLayout({
    {Field::snapOrg, 0, 3},
    {Field::snapType, 3, 5},
});

// A VLAN tag, from its TPID on; the type that follows the tag control information is etherType.
constexpr auto vlanFields = fieldLayout({
    {Field::tpid, 0, 2},
    {Field::priorityCode, 2, 3},
    {Field::dropEligible, 2, 3},
    {Field::vlanId, 2, 4},
    {Field::etherType, 4, 6},
});

// Linux cooked packet types 0 to 4, as tcpdump writes them.
constexpr std::string_view packetTypeNames[] = {"In", "B", "M", "P", "Out"};

namespace {

std::atomic<std::int64_t> frameCounter{0};

}  // namespace

// Built before the static objects of other files, which may decode frames as they are built.
[[gnu::init_priority(101)]] const Layer4 detail::noLayer4{NoLayer4{}};

std::optional<FrameFormat> frameFormatFromString(std::string_view rawValue) {
    for (auto format : {FrameFormat::ieee8023, FrameFormat::ethernet, FrameFormat::invalid, FrameFormat::linuxSll,
                        FrameFormat::linuxSll2, FrameFormat::rawIp, FrameFormat::nullLoopback}) {
        if (toString(format) == rawValue) return format;
    }
    return std::nullopt;
}

void Frame::resetFrameCounter() { frameCounter.store(0); }

// Not delegating to the general constructor: Ethernet is the hot path.
Frame::Frame(ByteSlice bytes, Timeval timeval, std::int64_t originalLength_, std::optional<std::int64_t> number)
    : frameNumber(number ? *number : frameCounter.fetch_add(1) + 1),
      date(Date(std::chrono::seconds(timeval.seconds) + std::chrono::microseconds(timeval.microseconds))),
      originalLength(originalLength_),
      data(std::move(bytes)) {
    decodeEthernetFrame();
}

Frame::Frame(LinkType linkType_, ByteSlice bytes, Timeval timeval, std::int64_t originalLength_,
             std::optional<std::int64_t> number)
    : frameNumber(number ? *number : frameCounter.fetch_add(1) + 1),
      date(Date(std::chrono::seconds(timeval.seconds) + std::chrono::microseconds(timeval.microseconds))),
      linkType(linkType_),
      originalLength(originalLength_),
      data(std::move(bytes)) {
    decodeLink();
}

void Frame::decode(LinkType linkType_, std::span<const std::uint8_t> bytes, Timeval timeval,
                   std::int64_t originalLength_, std::optional<std::int64_t> number) {
    // The records stay where they are, to be decoded into again when the next frame holds the same kinds.
    // Every link decoder sets both MAC texts. An Ethernet II frame sets none of the other link headers'
    // fields, so after one only its tags and padding may need clearing.
    if (extras_ != LinkExtras::none) [[unlikely]] {
        if (extras_ == LinkExtras::padding) {
            clearPadding();
        } else {
            clearLinkHeaders();
        }
        extras_ = LinkExtras::none;
    }
    id_.reset();
    frameNumber = number ? *number : frameCounter.fetch_add(1) + 1;
    date = Date(std::chrono::seconds(timeval.seconds) + std::chrono::microseconds(timeval.microseconds));
    linkType = linkType_;
    originalLength = originalLength_;
    status = DecodeStatus::complete;
    data.assignBorrowed(bytes.data(), bytes.size());
    decodeLink();
}

void Frame::clearLinkHeaders() {
    clearPadding();
    vlans.clear();
    ieeeLength.reset();
    ieeeDsap.reset();
    ieeeSsap.reset();
    ieeeControl.reset();
    snapOrg.reset();
    snapType.reset();
    cooked.reset();
    addressFamily.reset();
}

Frame Frame::owning() const {
    const auto since = date.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    return Frame(linkType, ByteSlice(data.bytes().data(), data.count()),
                 Timeval{seconds.count(), static_cast<std::int32_t>((since - seconds).count())}, originalLength, frameNumber);
}

[[gnu::always_inline]] inline void Frame::decodeLink() {
    // An Ethernet II header's positions and type replace the last frame's at once (markHeader); every
    // other link decoder clears them first.
    switch (linkType) {
        case LinkType::ethernet:
        case LinkType::ieee80211: return decodeEthernetFrame();
        case LinkType::linuxSll: return decodeLinuxCooked(false);
        case LinkType::linuxSll2: return decodeLinuxCooked(true);
        case LinkType::raw:
        case LinkType::rawOpenBsd:
        case LinkType::rawFile: return decodeRaw();
        case LinkType::null: return decodeNull();
    }
    // A link type this library does not decode: all bytes unknown.
    decodeInvalid(false);
    layer3 = Unknown{data};
}

void Frame::decodeInvalid(bool log) {
    clearEthernetIIFields();
    const std::size_t s = data.startIndex();
    layer3 = Unknown{data.slice(s, s)};
    if (log) {
        logError([&] { return "Error: short frame detected size " + std::to_string(data.count()) + " unable to analyze"; });
    }
    srcmac = MacText("unknown");
    dstmac = MacText("unknown");
    frameFormat = FrameFormat::invalid;
}

[[gnu::always_inline]] inline void Frame::decodeEthertypeInline(std::size_t offset, std::uint16_t type) {
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();
    const std::size_t n = data.count();
    SliceReader r(data);
    // 802.1Q and 802.1ad tags: up to two, outermost first.
    if (type == etherTypes::vlan || type == etherTypes::qinq) [[unlikely]] offset = decodeVlanTags(offset, type);
    std::size_t end = e;
    if (type == etherTypes::ipv4) {
        // Padding after the IP packet, unless the 802.3 length has already told it.
        const std::uint16_t totalLength = readField<IPv4::headerFields, Field::totalLength>(r, offset);
        if (!padding && r.ok() && totalLength + offset < n) {
            padding = data.slice(s + offset + totalLength, e);
            if (extras_ == LinkExtras::none) extras_ = LinkExtras::padding;
            markField(*this, Field::padding, s + offset + totalLength, e);
            paddingBytes = static_cast<std::int64_t>(padding->count());
        }
        end = e - static_cast<std::size_t>(paddingBytes);
    }
    layer3.decode(EtherTypeKey{type}, data, s + offset, end, context());
    // Bytes no record took are unknown to the end of the frame, padding and all.
    if (end != e && layer3.unknown()) layer3 = Unknown{data.sliceFrom(s + offset)};
}

void Frame::decodeEthertype(std::size_t offset, std::uint16_t type) { decodeEthertypeInline(offset, type); }

[[gnu::always_inline]] inline void Frame::decodeEthernetFrame() {
    if (data.count() < 18) return decodeInvalid(true);
    const std::uint8_t* frameBytes = data.bytes().data();
    dstmac.assignAddress(frameBytes);
    srcmac.assignAddress(frameBytes + 6);

    const std::uint16_t v = static_cast<std::uint16_t>((frameBytes[12] << 8) | frameBytes[13]);
    if (v <= etherTypes::maximumLength) {
        clearEthernetIIFields();
        decodeIeee8023(v);
        return;
    }
    const std::size_t s = data.startIndex();
    ethertype = v;
    markHeader(*this, ethernetFields, s, data.endIndex());
    frameFormat = FrameFormat::ethernet;
    decodeEthertypeInline(14, v);
}

void Frame::decodeIeee8023(std::size_t length) {
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();
    const std::size_t n = data.count();
    SliceReader r(data);
    ieeeLength = length;
    if (length + 14 > n) markShort(status, context());
    ieeeDsap = readField<ieee8023Fields, Field::ieeeDsap>(r);
    ieeeSsap = readField<ieee8023Fields, Field::ieeeSsap>(r);
    ieeeControl = readField<ieee8023Fields, Field::ieeeControl>(r);
    markLayout(*this, ieee8023Fields, s, e);
    if (length + 14 < n) {
        padding = data.slice(s + length + 14, e);
        markField(*this, Field::padding, s + length + 14, e);
        paddingBytes = static_cast<std::int64_t>(padding->count());
    }
    frameFormat = FrameFormat::ieee8023;
    decodeLlc(14);
}

void Frame::decodeLlc(std::size_t offset) {
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();
    const std::size_t n = data.count();
    const std::size_t payload = offset + 3;
    if (*ieeeDsap == llc::snap && n >= payload + 5) {
        SliceReader r(data);
        snapOrg = readField<snapFields, Field::snapOrg>(r, payload);
        snapType = readField<snapFields, Field::snapType>(r, payload);
        markLayout(*this, snapFields, s + payload, e);
        if (*snapOrg == 0) {
            // RFC 1042: organisation 00-00-00 carries an ethertype.
            decodeEthertype(payload + 5, static_cast<std::uint16_t>(*snapType));
            return;
        }
        layer3.decode(SnapKey{static_cast<std::uint32_t>(*snapOrg), static_cast<std::uint16_t>(*snapType)}, data,
                      s + payload + 5, e, context());
        return;
    }
    // Any other DSAP, and a SNAP header cut short, by the DSAP; unknown when no record takes them.
    layer3.decode(LlcKey{*ieeeDsap}, data, s + payload, e, context());
}

void Frame::decodeLinuxCooked(bool version2) {
    clearEthernetIIFields();
    const std::size_t header = version2 ? 20 : 16;
    if (data.count() < header) return decodeInvalid(true);
    const std::size_t s = data.startIndex();
    SliceReader r(data);
    LinuxCooked& c = cooked.emplace();
    std::size_t addressAt = 0;
    if (version2) {
        c.protocol = readField<sll2Fields, Field::linkProtocol>(r);
        c.interfaceIndex = readField<sll2Fields, Field::interfaceIndex>(r);
        c.hardwareType = readField<sll2Fields, Field::linkHardwareType>(r);
        c.packetType = readField<sll2Fields, Field::packetType>(r);
        c.addressLength = readField<sll2Fields, Field::linkAddressLength>(r);
        markLayout(*this, sll2Fields, s, data.endIndex());
        addressAt = sll2AddressAt;
    } else {
        c.packetType = readField<sllFields, Field::packetType>(r);
        c.hardwareType = readField<sllFields, Field::linkHardwareType>(r);
        c.addressLength = readField<sllFields, Field::linkAddressLength>(r);
        c.protocol = readField<sllFields, Field::linkProtocol>(r);
        markLayout(*this, sllFields, s, data.endIndex());
        addressAt = sllAddressAt;
    }
    c.address = r.array<8>(addressAt);
    const std::size_t kept = std::min<std::size_t>(c.addressLength, 8);
    markField(*this, Field::linkAddress, s + addressAt, s + addressAt + kept);
    frameFormat = version2 ? FrameFormat::linuxSll2 : FrameFormat::linuxSll;
    if (c.addressLength == 6) {
        srcmac.assignBytes(std::span<const std::uint8_t>(c.address.data(), 6));
    } else {
        srcmac = MacText("unknown");
    }
    dstmac = MacText("unknown");

    if (c.protocol >= 0x0600) {
        ethertype = c.protocol;
        decodeEthertype(header, c.protocol);
    } else if (c.protocol == 4 && data.count() >= header + 3) {
        // An 802.2 LLC frame without its Ethernet header.
        ieeeDsap = readField<llcFields, Field::ieeeDsap>(r, header);
        ieeeSsap = readField<llcFields, Field::ieeeSsap>(r, header);
        ieeeControl = readField<llcFields, Field::ieeeControl>(r, header);
        markLayout(*this, llcFields, s + header, data.endIndex());
        decodeLlc(header);
    } else {
        layer3 = Unknown{data.sliceFrom(s + header)};
    }
}

void Frame::decodeRaw() {
    clearEthernetIIFields();
    if (data.empty()) return decodeInvalid(true);
    srcmac = MacText("unknown");
    dstmac = MacText("unknown");
    frameFormat = FrameFormat::rawIp;
    // The IP version nibble tells the protocol.
    switch (data.bytes()[0] >> 4) {
        case 4: decodeEthertype(0, etherTypes::ipv4); return;
        case 6: decodeEthertype(0, etherTypes::ipv6); return;
        default: layer3 = Unknown{data}; return;
    }
}

void Frame::decodeNull() {
    clearEthernetIIFields();
    if (data.count() < 4) return decodeInvalid(true);
    srcmac = MacText("unknown");
    dstmac = MacText("unknown");
    frameFormat = FrameFormat::nullLoopback;
    const auto b = data.bytes();
    // The family is in the byte order of the machine that wrote it; known values tell which.
    const std::uint32_t little = b[0] | (b[1] << 8) | (b[2] << 16) | (std::uint32_t{b[3]} << 24);
    const std::uint32_t big = (std::uint32_t{b[0]} << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
    auto isIPv6 = [](std::uint32_t family) { return family == 10 || family == 24 || family == 28 || family == 30; };
    auto known = [&](std::uint32_t family) { return family == 2 || isIPv6(family); };
    const std::uint32_t family = known(little) || !known(big) ? little : big;
    addressFamily = family;
    const std::size_t s = data.startIndex();
    markLayout(*this, nullFields, s, data.endIndex());
    if (family == 2) return decodeEthertype(4, etherTypes::ipv4);
    if (isIPv6(family)) return decodeEthertype(4, etherTypes::ipv6);
    layer3 = Unknown{data.sliceFrom(s + 4)};
}

std::size_t Frame::decodeVlanTags(std::size_t offset, std::uint16_t& type) {
    const std::size_t s = data.startIndex();
    const std::size_t n = data.count();
    SliceReader r(data);
    while ((type == etherTypes::vlan || type == etherTypes::qinq) && vlans.size() < 2 && offset + 4 <= n) {
        extras_ = LinkExtras::other;
        Vlan& tag = vlans.emplace_back();
        const std::size_t at = offset - 2;  // the tag's TPID
        tag.tpid = type;
        const std::uint16_t tci = readField<vlanFields, Field::vlanId>(r, at);
        tag.priorityCode = static_cast<std::uint8_t>(tci >> 13);
        tag.dropEligible = (tci & 0x1000) != 0;
        tag.vlanId = tci & 0x0fff;
        tag.etherType = readField<vlanFields, Field::etherType>(r, at);
        markLayout(tag, vlanFields, s + at, data.endIndex());
        type = tag.etherType;
        offset += 4;
    }
    return offset;
}

std::string Frame::description() const { return text::describe(*this); }

// The type text of the one-line text, into room for 18 characters; VLAN tags are written by the caller.
[[gnu::always_inline]] inline char* Frame::writeTypeText(char* p) const {
    if (ethertype) return text::writeWordHex(p, *ethertype);
    if (ieeeDsap && ieeeSsap) {
        // DSAP as printf's "0x%2x" (blank-padded), SSAP as "%02x".
        *p++ = '0';
        *p++ = 'x';
        *p++ = *ieeeDsap >> 4 ? text::lowerHexDigits[*ieeeDsap >> 4] : ' ';
        *p++ = text::lowerHexDigits[*ieeeDsap & 0xf];
        *p++ = text::lowerHexDigits[*ieeeSsap >> 4];
        *p++ = text::lowerHexDigits[*ieeeSsap & 0xf];
        return p;
    }
    return text::writeText(p, "unknown");
}

void Frame::appendVlanText(text::LineWriter& out) const {
    for (const Vlan& tag : vlans) {
        char* p = out.reserve(32);
        p = text::writeText(p, " vlan ");
        p = text::writeDecimal(p, tag.vlanId);
        *p++ = ' ';
        out.commit(text::writeWordHex(p, tag.etherType));
    }
}

void Frame::appendDescription(text::LineWriter& out) const {
    if (frameFormat <= FrameFormat::invalid) [[likely]] {
        // Ethernet: two MAC texts, the format, the type (at most 18 characters) and four blanks fit in 80.
        char* p = out.reserve(80);
        p = text::writeText(p, srcmac.view());
        *p++ = ' ';
        p = text::writeText(p, dstmac.view());
        *p++ = ' ';
        p = text::writeText(p, toString(frameFormat));
        *p++ = ' ';
        p = writeTypeText(p);
        if (!vlans.empty()) [[unlikely]] {
            out.commit(p);
            appendVlanText(out);
            p = out.reserve(1);
        }
        *p++ = ' ';
        out.commit(p);
    } else if (frameFormat == FrameFormat::rawIp) {
        out << "rawIp ";
    } else if (frameFormat == FrameFormat::nullLoopback) {
        out << "nullLoopback ";
        out.decimal(addressFamily.value_or(0));
        out << ' ';
    } else {
        // Linux cooked: the sender's address, and where the packet went in place of a destination.
        out << srcmac.view() << ' ' << (cooked ? cooked->packetTypeText() : std::string()) << ' '
            << toString(frameFormat) << ' ';
        out.commit(writeTypeText(out.reserve(24)));
        appendVlanText(out);
        out << ' ';
    }
    layer3.appendDescription(out);
    out << ' ';
    if (const Layer4* l4 = layer4()) l4->appendDescription(out);
}

void Frame::appendVerboseDescription(text::LineWriter& out) const {
    switch (frameFormat) {
        case FrameFormat::rawIp: out << "rawIp "; break;
        case FrameFormat::nullLoopback:
            out << "nullLoopback family ";
            out.decimal(addressFamily.value_or(0)) << ' ';
            break;
        case FrameFormat::linuxSll:
        case FrameFormat::linuxSll2:
            out << toString(frameFormat) << ' ';
            if (cooked) {
                out << "packetType " << cooked->packetTypeText() << " hwType ";
                out.decimal(cooked->hardwareType) << " addrLen ";
                out.decimal(cooked->addressLength) << " addr " << cooked->addressText() << " protocol "
                                                   << wordHexText(cooked->protocol) << ' ';
                if (cooked->interfaceIndex) {
                    out << "ifIndex ";
                    out.decimal(*cooked->interfaceIndex) << ' ';
                }
            }
            break;
        default: out << srcmac.view() << " > " << dstmac.view() << ' ' << toString(frameFormat) << ' ';
    }
    if (ieeeLength) {
        out << "LEN ";
        out.decimal(*ieeeLength) << ' ';
    }
    if (ieeeDsap) out << "DSAP 0x" << byteHexText(*ieeeDsap) << ' ';
    if (ieeeSsap) out << "SSAP 0x" << byteHexText(*ieeeSsap) << ' ';
    if (ieeeControl) out << "CONTROL 0x" << byteHexText(*ieeeControl) << ' ';
    if (snapOrg) out << "SNAP Org 0x" << formatNumber("%6llx ", *snapOrg) << ' ';
    if (snapType) out << "SType 0x" << formatNumber("%4llx ", *snapType) << ' ';
    if (ethertype && !cooked) out << "Ethertype " << wordHexText(*ethertype) << ' ';
    for (const Vlan& tag : vlans) {
        tag.appendVerboseDescription(out);
        out << ' ';
    }
    if (padding && !padding->empty()) out << padding->description() << " padding ";
    if (status != DecodeStatus::complete) out << '[' << toString(status) << "] ";
}

std::string LinuxCooked::addressText() const {
    std::string out(3 * 8, '\0');
    char* end = text::writeColonHex(out.data(), std::span<const std::uint8_t>(address.data(), std::min<std::size_t>(addressLength, 8)));
    out.resize(static_cast<std::size_t>(end - out.data()));
    return out;
}

std::string LinuxCooked::packetTypeText() const {
    if (packetType < std::size(packetTypeNames)) return std::string(packetTypeNames[packetType]);
    return std::to_string(packetType);
}

void Vlan::appendVerboseDescription(text::LineWriter& out) const {
    out << "VLAN ";
    out.decimal(vlanId) << " PCP ";
    out.decimal(priorityCode) << " DEI " << (dropEligible ? '1' : '0') << " Ethertype " << wordHexText(etherType);
}

}  // namespace ZuzizavAdiduDazorud
