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
// extension headers and IGMPv3 reports. One list: the enumeration and the names come from it.
#define ZAD_FIELDS(X) \
    X(srcmac) X(dstmac) X(ethertype) X(ieeeLength) X(ieeeDsap) X(ieeeSsap) X(ieeeControl) X(snapOrg) X(snapType) \
    X(etherType) X(padding) X(hardwareType) X(protocolType) X(hardwareSize) X(protocolSize) X(operation) \
    X(senderEthernet) X(senderIp) X(targetEthernet) X(targetIp) X(protocolId) X(bpduVersion) X(type) X(flags) \
    X(rootId) X(rootCost) X(bridgeId) X(portId) X(age) X(maxAge) X(helloTime) X(forwardDelay) X(v1Length) X(code) \
    X(checksum) X(payload) X(sourceIP) X(destinationIP) X(version) X(ihl) X(dscp) X(ecn) X(totalLength) \
    X(identification) X(fragmentOffset) X(ttl) X(ipProtocol) X(headerChecksum) X(options) X(trafficClass) \
    X(flowLabel) X(payloadLength) X(nextHeader) X(hopLimit) X(sourcePort) X(destinationPort) X(sequenceNumber) \
    X(acknowledgementNumber) X(dataOffset) X(window) X(urgentPointer) X(length) X(sequence) X(identifier) X(mask) \
    X(pointer) X(originate) X(receive) X(transmit) X(address) X(target) X(destination) X(maxResponseTime) \
    X(queryIntervalCode) X(numberOfSources) X(sources) X(packetType) X(linkHardwareType) X(linkAddressLength) \
    X(linkAddress) X(linkProtocol) X(interfaceIndex) X(addressFamily) X(tpid) X(priorityCode) X(dropEligible) \
    X(vlanId) X(headerLength) X(routingType) X(segmentsLeft) X(numberOfGroupRecords) X(groupRecords)

enum class Field : std::uint8_t {
#define ZAD_FIELD_CASE(name) name,
    ZAD_FIELDS(ZAD_FIELD_CASE)
#undef ZAD_FIELD_CASE
};

// The case names, in declaration order.
inline constexpr std::string_view fieldNames[] = {
#define ZAD_FIELD_NAME(name) #name,
    ZAD_FIELDS(ZAD_FIELD_NAME)
#undef ZAD_FIELD_NAME
};

inline constexpr std::size_t fieldCount = std::size(fieldNames);
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

// A header's fixed fields. Build with fieldLayout(); span() finds a field's offsets at compile time, so
// that a decoder reads each field where its layout says and writes no offset twice.
template <std::size_t N>
struct FieldLayout {
    FieldSpan spans[N];

    consteval FieldSpan span(Field field) const {
        for (const FieldSpan& s : spans) {
            if (s.field == field) return s;
        }
        throw "the layout has no such field";
    }
    // The first K fields, for a header whose shorter forms end early.
    template <std::size_t K>
    consteval FieldLayout<K> first() const {
        static_assert(K <= N);
        FieldLayout<K> layout{};
        for (std::size_t k = 0; k < K; ++k) layout.spans[k] = spans[k];
        return layout;
    }
};

template <std::size_t N>
consteval FieldLayout<N> fieldLayout(const FieldSpan (&spans)[N]) {
    FieldLayout<N> layout{};
    for (std::size_t k = 0; k < N; ++k) layout.spans[k] = spans[k];
    return layout;
}

// The layouts' fields one after another: a header's usual form marked at once, from the parts its other
// forms share.
template <std::size_t... N>
consteval FieldLayout<(N + ...)> joinedLayout(const FieldLayout<N>&... layouts) {
    FieldLayout<(N + ...)> joined{};
    std::size_t k = 0;
    auto append = [&](const auto& layout) {
        for (const FieldSpan& span : layout.spans) joined.spans[k++] = span;
    };
    (append(layouts), ...);
    return joined;
}

// Frame positions keyed by Field: a record's first bytes (startIndex) or ends (endIndex) of its fields.
// A header's fixed fields are kept as a reference to their static layout and the record's base, so
// marking them costs a few stores; positions are worked out when asked for. Other fields are kept in a
// small inline list, then in an overflow list no record needs today. A field set later wins.
class FieldIndex {
public:
    // Only the entries in use are initialised and copied: a record starts with two empty indexes.
    FieldIndex() = default;
    FieldIndex(const FieldIndex& other) : FieldIndex() { *this = other; }
    FieldIndex(FieldIndex&& other) noexcept : FieldIndex() { *this = std::move(other); }
    FieldIndex& operator=(const FieldIndex& other) {
        if (this != &other) {
            copyScalars(other);
            if (other.full()) {
                overflow_ = other.overflow_;
            } else {
                overflow_.clear();
            }
        }
        return *this;
    }
    FieldIndex& operator=(FieldIndex&& other) noexcept {
        if (this != &other) {
            copyScalars(other);
            if (other.full()) {
                overflow_ = std::move(other.overflow_);
            } else {
                overflow_.clear();
            }
        }
        return *this;
    }
    ~FieldIndex() = default;

    std::optional<std::size_t> operator[](Field field) const { return at(field); }
    std::optional<std::size_t> at(Field field) const {
        if (full()) [[unlikely]] {
            for (const auto& [f, position] : overflow_) {
                if (f == field) return position;
            }
        }
        for (std::size_t i = count_; i-- > 0;) {
            if (fields_[i] == field) return positions_[i];
        }
        for (std::size_t k = spanCount_; k-- > 0;) {
            if (spans_[k].field == field) return position(spans_[k]);
        }
        return std::nullopt;
    }
    bool contains(Field field) const { return at(field).has_value(); }
    std::size_t size() const {
        std::size_t n = 0;
        for (std::size_t i = 0; i < fieldCount; ++i) n += contains(static_cast<Field>(i));
        return n;
    }
    bool empty() const { return spanCount_ == 0 && count_ == 0; }  // the overflow list is used only when full

    void set(Field field, std::size_t position) {
        const auto value = static_cast<std::uint32_t>(position);
        for (std::size_t i = 0; i < count_; ++i) {
            if (fields_[i] == field) {
                positions_[i] = value;
                return;
            }
        }
        if (count_ < inlineCapacity) [[likely]] {
            fields_[count_] = field;
            positions_[count_] = value;
            if (++count_ == inlineCapacity) [[unlikely]] clearOverflow();  // what it holds is an earlier use's
            return;
        }
        setOverflow(field, value);
    }

    // The layout's fields at base + from, or for an end index at base + to (`end` for toEnd). The first
    // layout of an index is kept by reference; a second is set field by field.
    template <std::size_t N>
    [[gnu::always_inline]] void setLayout(const FieldLayout<N>& layout, std::size_t base, std::size_t end,
                                          bool ends) {
        if (empty()) [[likely]] return resetLayout(layout, base, end, ends);
        for (const FieldSpan& span : layout.spans) {
            set(span.field, !ends ? base + span.from : span.to == toEnd ? end : base + span.to);
        }
    }

    // The layout's fields alone, whatever the index held before: setLayout on a cleared index, in a few
    // stores.
    template <std::size_t N>
    [[gnu::always_inline]] void resetLayout(const FieldLayout<N>& layout, std::size_t base, std::size_t end,
                                            bool ends) {
        spans_ = layout.spans;
        base_ = static_cast<std::uint32_t>(base);
        end_ = static_cast<std::uint32_t>(end);
        spanCount_ = static_cast<std::uint8_t>(N);
        count_ = 0;
        ends_ = ends;
    }

    // Empty again, keeping the overflow list's room.
    void clear() {
        spanCount_ = 0;
        count_ = 0;
    }

    // Equal when the same fields map to the same positions, however they were set.
    friend bool operator==(const FieldIndex& lhs, const FieldIndex& rhs) {
        for (std::size_t i = 0; i < fieldCount; ++i) {
            if (lhs.at(static_cast<Field>(i)) != rhs.at(static_cast<Field>(i))) return false;
        }
        return true;
    }

private:
    bool full() const { return count_ == inlineCapacity; }
    std::size_t position(const FieldSpan& span) const {
        if (!ends_) return base_ + span.from;
        return span.to == toEnd ? end_ : base_ + span.to;
    }
    [[gnu::noinline]] void clearOverflow() { overflow_.clear(); }
    [[gnu::noinline]] void setOverflow(Field field, std::uint32_t value) {
        for (auto& entry : overflow_) {
            if (entry.first == field) {
                entry.second = value;
                return;
            }
        }
        overflow_.emplace_back(field, value);
    }
    void copyScalars(const FieldIndex& other) {
        spans_ = other.spans_;
        spanCount_ = other.spanCount_;
        base_ = other.base_;
        end_ = other.end_;
        ends_ = other.ends_;
        count_ = other.count_;
        std::copy_n(other.positions_.begin(), other.count_, positions_.begin());
        std::copy_n(other.fields_.begin(), other.count_, fields_.begin());
    }

    static constexpr std::size_t inlineCapacity = 8;
    const FieldSpan* spans_ = nullptr;  // a static layout's spans, [0, spanCount_); not read when 0
    std::uint32_t base_ = 0;
    std::uint32_t end_ = 0;
    std::uint8_t spanCount_ = 0;
    // Entries [0, count_) are set; the rest are never read. The overflow list is read only while the
    // inline entries are all taken, and emptied when they fill up: clearing the index needs no look at it.
    std::uint8_t count_ = 0;
    bool ends_ = false;
    std::array<Field, inlineCapacity> fields_;
    std::array<std::uint32_t, inlineCapacity> positions_;
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

// A record's first marks: its positions become the layout's fields alone, at offsets from `base`, as
// markLayout on a cleared record would make them; whatever an earlier decode into the record left is gone.
template <typename Record, std::size_t N>
[[gnu::always_inline]] inline void markHeader(Record& record, const FieldLayout<N>& layout, std::size_t base,
                                              std::size_t end) {
    record.startIndex.resetLayout(layout, base, end, false);
    record.endIndex.resetLayout(layout, base, end, true);
}

}  // namespace ZuzizavAdiduDazorud
