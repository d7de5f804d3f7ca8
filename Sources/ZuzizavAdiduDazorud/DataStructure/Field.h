#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

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

// A field's half-open frame range [start, end).
struct FieldRange {
    Field field;
    std::size_t start;
    std::size_t end;
};

// Frame positions keyed by Field. A record marks at most a few fields, so they are kept inline in a
// small flat list (no allocation); more than fit inline go to an overflow list no record needs today.
class FieldIndex {
public:
    std::optional<std::size_t> operator[](Field field) const { return at(field); }
    std::optional<std::size_t> at(Field field) const {
        if (!isMarked(field)) return std::nullopt;
        for (std::size_t i = 0; i < count_; ++i) {
            if (fields_[i] == field) return positions_[i];
        }
        for (const auto& [f, position] : overflow_) {
            if (f == field) return position;
        }
        return std::nullopt;
    }
    bool contains(Field field) const { return at(field).has_value(); }
    std::size_t size() const { return count_ + overflow_.size(); }
    bool empty() const { return size() == 0; }

    void set(Field field, std::size_t position) {
        const auto value = static_cast<std::uint32_t>(position);
        // Decoders mark each field once: the common case is a plain append.
        if (!isMarked(field) && count_ < inlineCapacity) {
            mark(field);
            fields_[count_] = field;
            positions_[count_] = value;
            ++count_;
            return;
        }
        setSlow(field, value);
    }

    // set() for each range's field at its start (or end), in order. Into an empty index (a decoder's
    // fresh record) with distinct fields that fit inline, this is plain stores: no per-field checks
    // and no count or marks going back and forth through memory.
    template <std::size_t N>
    [[gnu::always_inline]] void setAll(const FieldRange (&ranges)[N], bool ends) {
        std::uint64_t mask[2] = {0, 0};
        bool distinct = true;
        for (const FieldRange& range : ranges) {
            const auto i = static_cast<std::size_t>(range.field);
            const std::uint64_t bit = std::uint64_t{1} << (i % 64);
            distinct = distinct && !(mask[i / 64] & bit);
            mask[i / 64] |= bit;
        }
        if (N <= inlineCapacity && distinct && count_ == 0 && overflow_.empty()) [[likely]] {
            for (std::size_t k = 0; k < N; ++k) {
                fields_[k] = ranges[k].field;
                positions_[k] = static_cast<std::uint32_t>(ends ? ranges[k].end : ranges[k].start);
            }
            marked_[0] = mask[0];
            marked_[1] = mask[1];
            count_ = static_cast<std::uint8_t>(N);
            return;
        }
        for (const FieldRange& range : ranges) set(range.field, ends ? range.end : range.start);
    }

    // Equal when the same fields map to the same positions, in whatever order they were set.
    friend bool operator==(const FieldIndex& lhs, const FieldIndex& rhs) {
        if (lhs.size() != rhs.size()) return false;
        for (std::size_t i = 0; i < fieldCount; ++i) {
            if (lhs.at(static_cast<Field>(i)) != rhs.at(static_cast<Field>(i))) return false;
        }
        return true;
    }

private:
    bool isMarked(Field field) const {
        const auto i = static_cast<std::size_t>(field);
        return (marked_[i / 64] >> (i % 64)) & 1u;
    }
    void mark(Field field) {
        const auto i = static_cast<std::size_t>(field);
        marked_[i / 64] |= std::uint64_t{1} << (i % 64);
    }
    // Overwriting a marked field, or a field past the inline part.
    [[gnu::noinline]] void setSlow(Field field, std::uint32_t value) {
        if (!isMarked(field)) {
            mark(field);
            overflow_.emplace_back(field, value);
            return;
        }
        for (std::size_t i = 0; i < count_; ++i) {
            if (fields_[i] == field) {
                positions_[i] = value;
                return;
            }
        }
        for (auto& entry : overflow_) {
            if (entry.first == field) {
                entry.second = value;
                return;
            }
        }
    }

    static constexpr std::size_t inlineCapacity = 16;
    std::array<std::uint64_t, 2> marked_{};
    std::array<std::uint32_t, inlineCapacity> positions_{};
    std::array<Field, inlineCapacity> fields_{};
    std::uint8_t count_ = 0;
    std::vector<std::pair<Field, std::uint32_t>> overflow_;
};

// Records a field's half-open frame range [start, end) in a record's two maps.
template <typename Record>
void markField(Record& record, Field field, std::size_t start, std::size_t end) {
    record.startIndex.set(field, start);
    record.endIndex.set(field, end);
}

// markField for several fields at once.
template <typename Record, std::size_t N>
[[gnu::always_inline]] inline void markFields(Record& record, const FieldRange (&ranges)[N]) {
    record.startIndex.setAll(ranges, false);
    record.endIndex.setAll(ranges, true);
}

}  // namespace ZuzizavAdiduDazorud
