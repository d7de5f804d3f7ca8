// Transmission Control Protocol: RFC 9293, section 3.1 (the header).
#include <ZuzizavAdiduDazorud/DataStructure/Tcp.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

namespace ZuzizavAdiduDazorud {

// Fixed header fields, at offsets from the record's start.
constexpr auto headerFields = fieldLayout({
    {Field::sourcePort, 0, 2},
    {Field::destinationPort, 2, 4},
    {Field::sequenceNumber, 4, 8},
    {Field::acknowledgementNumber, 8, 12},
    {Field::dataOffset, 12, 13},
    {Field::flags, 13, 14},
    {Field::window, 14, 16},
    {Field::checksum, 16, 18},
    {Field::urgentPointer, 18, 20},
    {Field::payload, 20, toEnd},
});

// The flags in the order their letters are written.
constexpr std::pair<bool Tcp::*, char> flagOrder[] = {
    {&Tcp::syn, 'S'}, {&Tcp::urg, 'U'}, {&Tcp::ack, 'A'}, {&Tcp::psh, 'P'}, {&Tcp::rst, 'R'}, {&Tcp::fin, 'F'},
};

bool Tcp::decodeInto(Tcp& tcp, ByteSlice&& bytes, const DecodeContext& context) {
    tcp.data = std::move(bytes);
    const ByteSlice& data = tcp.data;
    SliceReader r(data);
    if (r.count() < 20) {
        logError([] { return "incomplete TCP header detected"; });
        return false;
    }
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();
    tcp.sourcePort = readField<headerFields, Field::sourcePort>(r);
    tcp.destinationPort = readField<headerFields, Field::destinationPort>(r);
    tcp.sequenceNumber = readField<headerFields, Field::sequenceNumber>(r);
    tcp.acknowledgementNumber = readField<headerFields, Field::acknowledgementNumber>(r);
    tcp.dataOffset = readField<headerFields, Field::dataOffset>(r) >> 4;
    if (tcp.dataOffset < 5) {
        tcp.status = DecodeStatus::malformed;
    } else if (std::size_t{tcp.dataOffset} * 4 > r.count()) {
        markShort(tcp.status, context);
    }
    const std::uint8_t flags = readField<headerFields, Field::flags>(r);
    tcp.urg = flags & 0x20;
    tcp.ack = flags & 0x10;
    tcp.psh = flags & 0x08;
    tcp.rst = flags & 0x04;
    tcp.syn = flags & 0x02;
    tcp.fin = flags & 0x01;
    tcp.window = readField<headerFields, Field::window>(r);
    tcp.checksum = readField<headerFields, Field::checksum>(r);
    tcp.urgentPointer = readField<headerFields, Field::urgentPointer>(r);
    if (!r.ok()) return false;
    tcp.payload.assignSlice(data, s + 20, e);

    markHeader(tcp, headerFields, s, e);
    return true;
}

std::string Tcp::flagLetters() const {
    std::string letters;
    for (auto [flag, letter] : flagOrder) {
        if (this->*flag) letters += letter;
    }
    return letters;
}

void Tcp::appendDescription(text::LineWriter& out) const {
    char* p = out.reserve(96);  // three numbers of at most 20 digits, six flags and 23 other characters
    p = text::writeText(p, "TCP ");
    p = text::writeDecimal(p, sourcePort);
    p = text::writeText(p, " > ");
    p = text::writeDecimal(p, destinationPort);
    p = text::writeText(p, " flags ");
    for (auto [flag, letter] : flagOrder) {
        if (this->*flag) *p++ = letter;
    }
    *p++ = ' ';
    p = text::writeDecimal(p, payload.count());
    out.commit(text::writeText(p, " bytes"));
}

void Tcp::appendVerboseDescription(text::LineWriter& out) const {
    out << "TCP ";
    out.decimal(sourcePort) << " > ";
    out.decimal(destinationPort) << " seq ";
    out.decimal(sequenceNumber) << " ack ";
    out.decimal(acknowledgementNumber) << " offset ";
    out.decimal(dataOffset) << " flags ";
    for (auto [flag, letter] : flagOrder) {
        if (this->*flag) out << letter;
    }
    out << " window ";
    out.decimal(window) << " checksum ";
    out.decimal(checksum) << " urgentPtr ";
    out.decimal(urgentPointer) << "  ";
    out.decimal(payload.count()) << " bytes";
    appendStatus(out, status);
}

}  // namespace ZuzizavAdiduDazorud
