// User Datagram Protocol: RFC 768.
#include <ZuzizavAdiduDazorud/DataStructure/Udp.h>

#include <ZuzizavAdiduDazorud/DataStructure/TransportDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

namespace ZuzizavAdiduDazorud {

bool Udp::decodeInto(Udp& udp, ByteSlice&& bytes, const DecodeContext& context) {
    return decodeUdp(udp, std::move(bytes), context);
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
