// Transmission Control Protocol: RFC 9293, section 3.1 (the header).
#include <ZuzizavAdiduDazorud/DataStructure/Tcp.h>

#include <ZuzizavAdiduDazorud/DataStructure/TransportDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

namespace ZuzizavAdiduDazorud {

// The flags in the order their letters are written.
constexpr std::pair<bool Tcp::*, char> flagOrder[] = {
    {&Tcp::syn, 'S'}, {&Tcp::urg, 'U'}, {&Tcp::ack, 'A'}, {&Tcp::psh, 'P'}, {&Tcp::rst, 'R'}, {&Tcp::fin, 'F'},
};

bool Tcp::decodeInto(Tcp& tcp, ByteSlice&& bytes, const DecodeContext& context) {
    return decodeTcp(tcp, std::move(bytes), context);
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
