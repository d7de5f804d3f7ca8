#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/DecodeStatus.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace ZuzizavAdiduDazorud {

// A layout's field, read at its offsets from `base`: as a number when it is 1, 2, 3, 4 or 8 bytes wide,
// else as an array of its bytes. Out of the reader's bytes it reads 0 and fails the reader.
template <const auto& Layout, Field F>
[[gnu::always_inline]] inline auto readField(SliceReader& r, std::size_t base = 0) {
    constexpr FieldSpan span = Layout.span(F);
    static_assert(span.to != toEnd, "a field running to the end is bytes, not a number");
    constexpr std::size_t width = span.to - span.from;
    if constexpr (width == 1) {
        return r.u8(base + span.from);
    } else if constexpr (width == 2) {
        return r.u16(base + span.from);
    } else if constexpr (width == 3) {
        return r.u24(base + span.from);
    } else if constexpr (width == 4) {
        return r.u32(base + span.from);
    } else if constexpr (width == 8) {
        return r.u64(base + span.from);
    } else {
        return r.template array<width>(base + span.from);
    }
}

// A layout's field as an array of its bytes (addresses), read at its offsets from `base`.
template <const auto& Layout, Field F>
[[gnu::always_inline]] inline auto readBytes(SliceReader& r, std::size_t base = 0) {
    constexpr FieldSpan span = Layout.span(F);
    static_assert(span.to != toEnd, "a field running to the end has no fixed width");
    return r.template array<span.to - span.from>(base + span.from);
}

// The header fields ICMPv4 and ICMPv6 share: type, code and checksum, and an echo's identifier and
// sequence number.
inline constexpr auto icmpHeaderFields = fieldLayout({
    {Field::type, 0, 1},
    {Field::code, 1, 2},
    {Field::checksum, 2, 4},
});
inline constexpr auto icmpEchoFields = fieldLayout({
    {Field::identifier, 4, 6},
    {Field::sequence, 6, 8},
});

}  // namespace ZuzizavAdiduDazorud

namespace ZuzizavAdiduDazorud {

// Repeated items (TLVs, options, group records) with one policy for all. From `offset`, while an item's
// header of `headerSize` bytes is there (and fewer than `maximumItems` were taken): `length(offset)`
// gives the item's whole length as its header says, or none when the header itself lies; an item that
// runs past the bytes marks the record truncated or malformed, as the context says the capture cut the
// frame or not; a lying header, or `take(offset, length)` refusing the item, marks it malformed. Either
// ends the walk, and every item taken before stays. Gives the offset after the last item taken.
template <typename Length, typename Take>
std::size_t walkItems(const SliceReader& r, std::size_t offset, std::size_t headerSize, DecodeStatus& status,
                      const DecodeContext& context, Length length, Take take,
                      std::size_t maximumItems = static_cast<std::size_t>(-1)) {
    const std::size_t n = r.count();
    for (std::size_t items = 0; items < maximumItems; ++items) {
        if (offset + headerSize > n) {
            if (maximumItems != static_cast<std::size_t>(-1)) markShort(status, context);  // items were promised
            break;
        }
        const std::optional<std::size_t> itemLength = length(offset);
        if (!itemLength || *itemLength < headerSize) {
            status = DecodeStatus::malformed;
            break;
        }
        if (*itemLength > n - offset) {
            markShort(status, context);
            break;
        }
        if (!take(offset, *itemLength)) {
            status = DecodeStatus::malformed;
            break;
        }
        offset += *itemLength;
    }
    return offset;
}

// Rules of items (TLVs) found by their type without a search: for each type below N, the place of its
// rule in the list (-1 for none). A rule has a member `type`.
template <typename Rule, std::size_t N>
struct RulesByType {
    const Rule* rules;
    std::array<std::int8_t, N> places;

    // The rule for `type`, or none.
    const Rule* find(std::size_t type) const { return type < N && places[type] >= 0 ? rules + places[type] : nullptr; }
};

template <std::size_t N, typename Rule, std::size_t M>
constexpr RulesByType<Rule, N> rulesByType(const Rule (&rules)[M]) {
    static_assert(M < 128);
    RulesByType<Rule, N> table{rules, {}};
    table.places.fill(-1);
    for (std::size_t i = 0; i < M; ++i) table.places[rules[i].type] = static_cast<std::int8_t>(i);
    return table;
}

// A record's list of values decoded into again in place: the n-th value of a frame takes the list's n-th
// element, and keeps its case when it is the same, so that its texts keep their room and nothing is
// built, moved or destroyed for a frame like the last. `Type` is the member holding the value's case.
// finish() drops the elements this frame did not reach.
template <typename Value, auto Type>
class ValuesInPlace {
public:
    explicit ValuesInPlace(std::vector<Value>& values) : values_(values), size_(values.size()) {}

    // The next value, over frame bytes [start, end), holding a `Case` whose every member the caller sets.
    template <typename Case>
    Case& next(std::size_t start, std::size_t end) {
        auto& type = place(start, end).*Type;
        if (Case* same = std::get_if<Case>(&type)) return *same;
        return type.template emplace<Case>();
    }
    // The next value, a copy of `type`.
    template <typename T>
    void add(T&& type, std::size_t start, std::size_t end) {
        place(start, end).*Type = std::forward<T>(type);
    }
    std::size_t size() const { return used_; }
    // Takes back the values after the first `count`.
    void truncate(std::size_t count) { used_ = std::min(used_, count); }
    void finish() { values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(used_), values_.end()); }

private:
    Value& place(std::size_t start, std::size_t end) {
        if (used_ == size_) {
            values_.emplace_back();
            ++size_;
        }
        Value& value = values_[used_++];
        value.startIndex = start;
        value.endIndex = end;
        return value;
    }

    std::vector<Value>& values_;
    std::size_t size_;  // values_.size(), kept: a vector's size is a division
    std::size_t used_ = 0;
};

}  // namespace ZuzizavAdiduDazorud
