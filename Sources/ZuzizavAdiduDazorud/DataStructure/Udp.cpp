// User Datagram Protocol: RFC 768.
#include <ZuzizavAdiduDazorud/DataStructure/Udp.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

// Fixed header fields, at offsets from the record's start.
constexpr auto headerFields = fieldLayout({
    {Field::sourcePort, 0, 2},
    {Field::destinationPort, 2, 4},
    {Field::length, 4, 6},
    {Field::checksum, 6, 8},
    {Field::payload, 8, toEnd},
});

bool Udp::decodeInto(Udp& udp, ByteSlice&& bytes, const DecodeContext& context) {
    udp.data = std::move(bytes);
    const ByteSlice& data = udp.data;
    SliceReader r(data);
    if (r.count() < 8) {
        logError([] { return "incomplete UDP datagram detected"; });
        return false;
    }
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();
    udp.sourcePort = readField<headerFields, Field::sourcePort>(r);
    udp.destinationPort = readField<headerFields, Field::destinationPort>(r);
    udp.length = readField<headerFields, Field::length>(r);
    if (udp.length < 8) {
        udp.status = DecodeStatus::malformed;
    } else if (udp.length > r.count()) {
        markShort(udp.status, context);
    }
    udp.checksum = readField<headerFields, Field::checksum>(r);
    if (!r.ok()) return false;
    udp.payload.assignSlice(data, s + 8, e);

    markHeader(udp, headerFields, s, e);
    return true;
}

void Udp::appendDescription(text::LineWriter& out) const {
    char* p = out.reserve(80);  // three numbers of at most 20 digits and 11 other characters
    p = text::writeDecimal(p, sourcePort);
    p = text::writeText(p, " > ");
    p = text::writeDecimal(p, destinationPort);
    p = text::writeText(p, " length ");
    out.commit(text::writeDecimal(p, length));
}

void Udp::appendVerboseDescription(text::LineWriter& out) const {
    out << "UDP ";
    appendDescription(out);
    out << " checksum ";
    out.decimal(checksum);
    appendStatus(out, status);
}

}  // namespace ZuzizavAdiduDazorud
