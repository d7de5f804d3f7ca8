#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ZuzizavAdiduDazorud {

// Names of decodable fields, grouped by protocol: link layer, ARP, BPDU, shared names,
// IP, TCP and UDP, ICMP, IGMP.
enum class Field : std::uint8_t {
    srcmac, dstmac, ethertype, ieeeLength, ieeeDsap, ieeeSsap, ieeeControl, snapOrg, snapType, etherType, padding,
    hardwareType, protocolType, hardwareSize, protocolSize, operation, senderEthernet, senderIp, targetEthernet,
    targetIp, protocolId, bpduVersion, type, flags, rootId, rootCost, bridgeId, portId, age, maxAge, helloTime,
    forwardDelay, v1Length, code, checksum, payload, sourceIP, destinationIP, version, ihl, dscp, ecn, totalLength,
    identification, fragmentOffset, ttl, ipProtocol, headerChecksum, options, trafficClass, flowLabel, payloadLength,
    nextHeader, hopLimit, sourcePort, destinationPort, sequenceNumber, acknowledgementNumber, dataOffset, window,
    urgentPointer, length, sequence, identifier, mask, pointer, originate, receive, transmit, address, target,
    destination, maxResponseTime, queryIntervalCode, numberOfSources, sources,
};

inline constexpr std::size_t fieldCount = static_cast<std::size_t>(Field::sources) + 1;

std::string_view toString(Field field);

// Frame positions keyed by Field, stored inline: one slot per field, no allocation.
class FieldIndex {
public:
    std::optional<std::size_t> operator[](Field field) const { return at(field); }
    std::optional<std::size_t> at(Field field) const {
        auto i = static_cast<std::size_t>(field);
        if (!present_[i]) return std::nullopt;
        return values_[i];
    }
    bool contains(Field field) const { return present_[static_cast<std::size_t>(field)]; }
    std::size_t size() const { return present_.count(); }
    bool empty() const { return present_.none(); }

    void set(Field field, std::size_t position) {
        auto i = static_cast<std::size_t>(field);
        values_[i] = static_cast<std::uint32_t>(position);
        present_.set(i);
    }

    friend bool operator==(const FieldIndex&, const FieldIndex&) = default;

private:
    std::array<std::uint32_t, fieldCount> values_{};
    std::bitset<fieldCount> present_;
};

// Records a field's half-open frame range [start, end) in a record's two maps.
template <typename Record>
void markField(Record& record, Field field, std::size_t start, std::size_t end) {
    record.startIndex.set(field, start);
    record.endIndex.set(field, end);
}

}  // namespace ZuzizavAdiduDazorud
