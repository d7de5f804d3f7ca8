#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

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

namespace {

std::atomic<std::int64_t> frameCounter{0};

// Decodes in place; on false the caller puts the bytes it wants in `layer3` as unknown.
template <typename T>
bool decodeAs(Layer3& layer3, ByteSlice bytes) {
    return T::decodeInto(layer3.emplace<T>(), std::move(bytes));
}

}  // namespace

std::string_view toString(FrameFormat format) {
    switch (format) {
        case FrameFormat::ieee8023: return "ieee8023";
        case FrameFormat::ethernet: return "ethernet";
        case FrameFormat::invalid: return "invalid";
    }
    return "invalid";
}

std::optional<FrameFormat> frameFormatFromString(std::string_view rawValue) {
    for (auto format : {FrameFormat::ieee8023, FrameFormat::ethernet, FrameFormat::invalid}) {
        if (toString(format) == rawValue) return format;
    }
    return std::nullopt;
}

void Frame::resetFrameCounter() { frameCounter.store(0); }

Frame::Frame(ByteSlice bytes, Timeval timeval, std::int64_t originalLength_, std::optional<std::int64_t> number)
    : id(Uuid::random()),
      frameNumber(number ? *number : frameCounter.fetch_add(1) + 1),
      date(Date(std::chrono::seconds(timeval.seconds) + std::chrono::microseconds(timeval.microseconds))),
      originalLength(originalLength_),
      data(std::move(bytes)) {
    const std::size_t s = data.startIndex();
    const std::size_t n = data.count();
    if (n < 18) {
        layer3 = Unknown{data.slice(s, s)};
        logError([&] { return "Error: short frame detected size " + std::to_string(n) + " unable to analyze"; });
        srcmac = MacText("unknown");
        dstmac = MacText("unknown");
        frameFormat = FrameFormat::invalid;
        return;
    }
    const auto frameBytes = data.bytes();
    dstmac.assignBytes(frameBytes.subspan(0, 6));
    srcmac.assignBytes(frameBytes.subspan(6, 6));

    SliceReader r(data);
    const std::uint16_t v = r.u16(12);
    if (v <= 1500) {
        decodeIeee8023(v);
    } else {
        decodeEthernet(v);
    }
}

void Frame::decodeIeee8023(std::size_t length) {
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();
    const std::size_t n = data.count();
    SliceReader r(data);
    ieeeLength = length;
    ieeeDsap = r.u8(14);
    ieeeSsap = r.u8(15);
    ieeeControl = r.u8(16);
    markLayout(*this, ieee8023Fields, s, e);
    if (length + 14 < n) {
        padding = data.slice(s + length + 14, e);
        markField(*this, Field::padding, s + length + 14, e);
        paddingBytes = static_cast<std::int64_t>(padding->count());
    }
    frameFormat = FrameFormat::ieee8023;

    if (*ieeeDsap == 0x42) {
        if (decodeAs<Bpdu>(layer3, data.slice(s + 17, e))) return;
    } else if (*ieeeDsap == 0xAA && n >= 22) {
        snapOrg = r.u24(17);
        markField(*this, Field::snapOrg, s + 17, s + 20);
        snapType = r.u16(20);
        markField(*this, Field::snapType, s + 20, s + 22);
        ByteSlice snapPayload = data.slice(s + 22, e);
        if (*snapOrg == 0x00000C && *snapType == 0x2000) {
            if (decodeAs<Cdp>(layer3, snapPayload)) return;
        }
        layer3 = Unknown{snapPayload};
        return;
    }
    // Any other DSAP, and a SNAP header cut short, leave the bytes from 17 unknown.
    layer3 = Unknown{data.slice(s + 17, e)};
}

void Frame::decodeEthernet(std::uint64_t type) {
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();
    const std::size_t n = data.count();
    ethertype = type;
    markLayout(*this, ethernetFields, s, e);
    frameFormat = FrameFormat::ethernet;
    switch (type) {
        case 0x0800: {
            SliceReader r(data);
            const std::uint16_t totalLength = r.u16(16);
            if (r.ok() && totalLength + 14u < n) {
                padding = data.slice(s + 14 + totalLength, e);
                markField(*this, Field::padding, s + 14 + totalLength, e);
                paddingBytes = static_cast<std::int64_t>(padding->count());
            }
            if (!decodeAs<IPv4>(layer3, data.slice(s + 14, e - static_cast<std::size_t>(paddingBytes)))) {
                layer3 = Unknown{data.slice(s + 14, e)};
            }
            return;
        }
        case 0x0806:
            if (decodeAs<Arp>(layer3, data.slice(s + 14, e))) return;
            break;
        case 0x86DD:
            if (decodeAs<IPv6>(layer3, data.slice(s + 14, e))) return;
            break;
        case 0x88CC:
            if (decodeAs<Lldp>(layer3, data.slice(s + 14, e))) return;
            break;
        default: break;
    }
    layer3 = Unknown{data.slice(s + 14, e)};
}

const Layer4* Frame::layer4() const {
    if (const auto* ip = layer3.ipv4()) return &ip->layer4;
    if (const auto* ip = layer3.ipv6()) return &ip->layer4;
    if (layer3.unknown()) return nullptr;
    static const Layer4 none = Layer4::noLayer4();
    return &none;
}

std::string Frame::description() const { return text::describe(*this); }

void Frame::appendDescription(text::LineWriter& out) const {
    // Two MAC texts, the format, the type (at most 18 characters) and four blanks fit in 80.
    char* p = out.reserve(80);
    p = text::writeText(p, srcmac.view());
    *p++ = ' ';
    p = text::writeText(p, dstmac.view());
    *p++ = ' ';
    p = text::writeText(p, toString(frameFormat));
    *p++ = ' ';
    if (ethertype) {
        p = text::writeWordHex(p, *ethertype);
    } else if (ieeeDsap && ieeeSsap) {
        // DSAP as printf's "0x%2x" (blank-padded), SSAP as "%02x".
        *p++ = '0';
        *p++ = 'x';
        *p++ = *ieeeDsap >> 4 ? text::lowerHexDigits[*ieeeDsap >> 4] : ' ';
        *p++ = text::lowerHexDigits[*ieeeDsap & 0xf];
        *p++ = text::lowerHexDigits[*ieeeSsap >> 4];
        *p++ = text::lowerHexDigits[*ieeeSsap & 0xf];
    } else {
        p = text::writeText(p, "unknown");
    }
    *p++ = ' ';
    out.commit(p);
    layer3.appendDescription(out);
    out << ' ';
    if (const Layer4* l4 = layer4()) l4->appendDescription(out);
}

std::string Frame::verboseDescription() const {
    std::string out = srcmac.str() + " > " + dstmac.str() + " " + std::string(toString(frameFormat)) + " ";
    if (ieeeLength) out += "LEN " + std::to_string(*ieeeLength) + " ";
    if (ieeeDsap) out += std::string("DSAP 0x") + byteHexText(*ieeeDsap) + " ";
    if (ieeeSsap) out += std::string("SSAP 0x") + byteHexText(*ieeeSsap) + " ";
    if (ieeeControl) out += std::string("CONTROL 0x") + byteHexText(*ieeeControl) + " ";
    if (snapOrg) out += "SNAP Org 0x" + formatNumber("%6llx ", *snapOrg) + " ";
    if (snapType) out += "SType 0x" + formatNumber("%4llx ", *snapType) + " ";
    if (ethertype) out += "Ethertype " + wordHexText(*ethertype) + " ";
    if (padding && !padding->empty()) out += padding->description() + " padding ";
    return out;
}

}  // namespace ZuzizavAdiduDazorud
