#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace ZuzizavAdiduDazorud {

// Names of decodable fields, grouped by protocol: link layer, ARP, BPDU, shared names,
// IP, TCP and UDP, ICMP, IGMP; then the Linux cooked and null link headers, VLAN tags, IPv6
// extension headers and IGMPv3 reports.
enum class Field : std::uint8_t {
    srcmac, dstmac, ethertype, ieeeLength, ieeeDsap, ieeeSsap, ieeeControl, snapOrg, snapType, etherType, padding,
    hardwareType, protocolType, hardwareSize, protocolSize, operation, senderEthernet, senderIp, targetEthernet,
    targetIp, protocolId, bpduVersion, type, flags, rootId, rootCost, bridgeId, portId, age, maxAge, helloTime,
    forwardDelay, v1Length, code, checksum, payload, sourceIP, destinationIP, version, ihl, dscp, ecn, totalLength,
    identification, fragmentOffset, ttl, ipProtocol, headerChecksum, options, trafficClass, flowLabel, payloadLength,
    nextHeader, hopLimit, sourcePort, destinationPort, sequenceNumber, acknowledgementNumber, dataOffset, window,
    urgentPointer, length, sequence, identifier, mask, pointer, originate, receive, transmit, address, target,
    destination, maxResponseTime, queryIntervalCode, numberOfSources, sources,
    packetType, linkHardwareType, linkAddressLength, linkAddress, linkProtocol, interfaceIndex, addressFamily,
    tpid, priorityCode, dropEligible, vlanId, headerLength, routingType, segmentsLeft, numberOfGroupRecords,
    groupRecords,
};

inline constexpr std::size_t fieldCount = static_cast<std::size_t>(Field::groupRecords) + 1;
static_assert(fieldCount <= 128, "FieldIndex marks fields in two 64-bit words");

std::string_view toString(Field field);

// A span's `to` that stands for the end of the record's bytes (a payload running to the end).
inline constexpr std::size_t toEnd = static_cast<std::size_t>(-1);

// A header field at offsets [from, to) from the start of its record.
struct FieldSpan {
    Field field;
    std::size_t from;
    std::size_t to;
};

// A header's fixed fields, with what the index needs to take them all at once worked out at compile
// time. Build with fieldLayout().
template <std::size_t N>
struct FieldLayout {
    FieldSpan spans[N];
    std::uint64_t mask[2];
    bool distinct;
};

template <std::size_t N>
consteval FieldLayout<N> fieldLayout(const FieldSpan (&spans)[N]) {
    FieldLayout<N> layout{};
    layout.distinct = true;
    for (std::size_t k = 0; k < N; ++k) {
        layout.spans[k] = spans[k];
        const auto i = static_cast<std::size_t>(spans[k].field);
        const std::uint64_t bit = std::uint64_t{1} << (i % 64);
        if (layout.mask[i / 64] & bit) layout.distinct = false;
        layout.mask[i / 64] |= bit;
    }
    return layout;
}

// Frame positions keyed by Field. A record marks at most a few fields, so they are kept inline in a
// small flat list (no allocation); more than fit inline go to an overflow list no record needs today.
class FieldIndex {
public:
    // Only the entries in use are initialised and copied: a record starts with two empty indexes, and
    // clearing their unused slots would cost more than the fields a decoder marks.
    FieldIndex() = default;
    FieldIndex(const FieldIndex& other) : marked_(other.marked_), count_(other.count_), overflow_(other.overflow_) {
        copyEntries(other);
    }
    FieldIndex(FieldIndex&& other) noexcept
        : marked_(other.marked_), count_(other.count_), overflow_(std::move(other.overflow_)) {
        copyEntries(other);
    }
    FieldIndex& operator=(const FieldIndex& other) {
        if (this != &other) {
            marked_ = other.marked_;
            count_ = other.count_;
            overflow_ = other.overflow_;
            copyEntries(other);
        }
        return *this;
    }
    FieldIndex& operator=(FieldIndex&& other) noexcept {
        if (this != &other) {
            marked_ = other.marked_;
            count_ = other.count_;
            overflow_ = std::move(other.overflow_);
            copyEntries(other);
        }
        return *this;
    }
    ~FieldIndex() = default;

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

    // set() for each of a layout's fields at base + from (or base + to, or end for toEnd), in order.
    // Into an empty index (a decoder's fresh record) this is plain stores of known fields: no
    // per-field checks, and no count or marks going back and forth through memory.
    template <std::size_t N>
    [[gnu::always_inline]] void setLayout(const FieldLayout<N>& layout, std::size_t base, std::size_t end,
                                          bool ends) {
        if (N <= inlineCapacity && layout.distinct && count_ == 0 && overflow_.empty()) [[likely]] {
#pragma GCC unroll 32
            for (std::size_t k = 0; k < N; ++k) {
                const FieldSpan& span = layout.spans[k];
                fields_[k] = span.field;
                positions_[k] = static_cast<std::uint32_t>(position(span, base, end, ends));
            }
            marked_[0] = layout.mask[0];
            marked_[1] = layout.mask[1];
            count_ = static_cast<std::uint8_t>(N);
            return;
        }
        for (const FieldSpan& span : layout.spans) set(span.field, position(span, base, end, ends));
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

    static std::size_t position(const FieldSpan& span, std::size_t base, std::size_t end, bool ends) {
        if (!ends) return base + span.from;
        return span.to == toEnd ? end : base + span.to;
    }
    void copyEntries(const FieldIndex& other) {
        std::copy_n(other.positions_.begin(), other.count_, positions_.begin());
        std::copy_n(other.fields_.begin(), other.count_, fields_.begin());
    }

    static constexpr std::size_t inlineCapacity = 16;
    std::array<std::uint64_t, 2> marked_{};
    // Entries [0, count_) are set; the rest are never read.
    std::array<std::uint32_t, inlineCapacity> positions_;
    std::array<Field, inlineCapacity> fields_;
    std::uint8_t count_ = 0;
    std::vector<std::pair<Field, std::uint32_t>> overflow_;
};

// Records a field's half-open frame range [start, end) in a record's two maps.
template <typename Record>
[[gnu::always_inline]] inline void markField(Record& record, Field field, std::size_t start, std::size_t end) {
    record.startIndex.set(field, start);
    record.endIndex.set(field, end);
}

// markField for each of a layout's fields, at offsets from `base`; `end` is where toEnd spans end.
template <typename Record, std::size_t N>
[[gnu::always_inline]] inline void markLayout(Record& record, const FieldLayout<N>& layout, std::size_t base,
                                              std::size_t end) {
    record.startIndex.setLayout(layout, base, end, false);
    record.endIndex.setLayout(layout, base, end, true);
}

}  // namespace ZuzizavAdiduDazorud
