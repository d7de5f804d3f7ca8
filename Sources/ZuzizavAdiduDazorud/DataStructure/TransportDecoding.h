#pragma once

// The decoders of the transports most frames carry, inline in the IP records that hand them their bytes:
// a call less per frame. Udp::decodeInto and Tcp::decodeInto are the same decoders, out of line.
#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/DataStructure/Tcp.h>
#include <ZuzizavAdiduDazorud/DataStructure/Udp.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

#include <type_traits>
#include <utility>

namespace ZuzizavAdiduDazorud {

// UDP's header fields, at offsets from the record's start.
inline constexpr auto udpHeaderFields = fieldLayout({
    {Field::sourcePort, 0, 2},
    {Field::destinationPort, 2, 4},
    {Field::length, 4, 6},
    {Field::checksum, 6, 8},
    {Field::payload, 8, toEnd},
});

[[gnu::always_inline]] inline bool decodeUdp(Udp& udp, ByteSlice&& bytes, const DecodeContext& context) {
    udp.data = std::move(bytes);
    const ByteSlice& data = udp.data;
    SliceReader r(data);
    if (r.count() < 8) {
        logError([] { return "incomplete UDP datagram detected"; });
        return false;
    }
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();
    udp.sourcePort = readField<udpHeaderFields, Field::sourcePort>(r);
    udp.destinationPort = readField<udpHeaderFields, Field::destinationPort>(r);
    udp.length = readField<udpHeaderFields, Field::length>(r);
    if (udp.length < 8) {
        udp.status = DecodeStatus::malformed;
    } else if (udp.length > r.count()) {
        markShort(udp.status, context);
    }
    udp.checksum = readField<udpHeaderFields, Field::checksum>(r);
    if (!r.ok()) return false;
    udp.payload.assignSlice(data, s + 8, e);

    markHeader(udp, udpHeaderFields, s, e);
    return true;
}

// TCP's header fields, at offsets from the record's start.
inline constexpr auto tcpHeaderFields = fieldLayout({
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

[[gnu::always_inline]] inline bool decodeTcp(Tcp& tcp, ByteSlice&& bytes, const DecodeContext& context) {
    tcp.data = std::move(bytes);
    const ByteSlice& data = tcp.data;
    SliceReader r(data);
    if (r.count() < 20) {
        logError([] { return "incomplete TCP header detected"; });
        return false;
    }
    const std::size_t s = data.startIndex();
    const std::size_t e = data.endIndex();
    tcp.sourcePort = readField<tcpHeaderFields, Field::sourcePort>(r);
    tcp.destinationPort = readField<tcpHeaderFields, Field::destinationPort>(r);
    tcp.sequenceNumber = readField<tcpHeaderFields, Field::sequenceNumber>(r);
    tcp.acknowledgementNumber = readField<tcpHeaderFields, Field::acknowledgementNumber>(r);
    tcp.dataOffset = readField<tcpHeaderFields, Field::dataOffset>(r) >> 4;
    if (tcp.dataOffset < 5) {
        tcp.status = DecodeStatus::malformed;
    } else if (std::size_t{tcp.dataOffset} * 4 > r.count()) {
        markShort(tcp.status, context);
    }
    const std::uint8_t flags = readField<tcpHeaderFields, Field::flags>(r);
    tcp.urg = flags & 0x20;
    tcp.ack = flags & 0x10;
    tcp.psh = flags & 0x08;
    tcp.rst = flags & 0x04;
    tcp.syn = flags & 0x02;
    tcp.fin = flags & 0x01;
    tcp.window = readField<tcpHeaderFields, Field::window>(r);
    tcp.checksum = readField<tcpHeaderFields, Field::checksum>(r);
    tcp.urgentPointer = readField<tcpHeaderFields, Field::urgentPointer>(r);
    if (!r.ok()) return false;
    tcp.payload.assignSlice(data, s + 20, e);

    markHeader(tcp, tcpHeaderFields, s, e);
    return true;
}

// For Layer::decode: the inline decoders for UDP and TCP, decodeInto for the other records.
struct InlineTransports {
    template <typename Record>
    [[gnu::always_inline]] static bool decode(Record& record, ByteSlice&& bytes, const DecodeContext& context) {
        if constexpr (std::is_same_v<Record, Udp>) {
            return decodeUdp(record, std::move(bytes), context);
        } else if constexpr (std::is_same_v<Record, Tcp>) {
            return decodeTcp(record, std::move(bytes), context);
        } else {
            return Record::decodeInto(record, std::move(bytes), context);
        }
    }
};

}  // namespace ZuzizavAdiduDazorud
