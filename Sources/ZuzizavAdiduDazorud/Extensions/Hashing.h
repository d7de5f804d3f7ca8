#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

namespace ZuzizavAdiduDazorud {

namespace detail {

// Stands for any field in a trial aggregate initialisation; never converted at run time.
template <std::size_t>
struct AnyField {
    template <typename T>
    operator T() const;
};

template <typename T, std::size_t... I>
constexpr bool takesFields(std::index_sequence<I...>) {
    return requires { T{AnyField<I>{}...}; };
}

inline constexpr std::size_t maxFields = 10;

// The number of fields of a plain aggregate: the most initialisers it takes.
template <typename T, std::size_t N = 0>
constexpr std::size_t fieldCount() {
    if constexpr (N <= maxFields && takesFields<T>(std::make_index_sequence<N + 1>{})) {
        return fieldCount<T, N + 1>();
    } else {
        return N;
    }
}

}  // namespace detail

// Calls `f` with each field of a plain aggregate, in declaration order.
template <typename T, typename F>
void forEachField(const T& value, F&& fn) {
    constexpr std::size_t count = std::is_empty_v<T> ? 0 : detail::fieldCount<T>();
    // The compiler names T on this line when a case grows past the limit: raise maxFields and add a case.
    static_assert(count <= detail::maxFields, "forEachField: this aggregate has more fields than it handles");
    if constexpr (count == 1) {
        const auto& [f0] = value;
        fn(f0);
    } else if constexpr (count == 2) {
        const auto& [f0, f1] = value;
        fn(f0), fn(f1);
    } else if constexpr (count == 3) {
        const auto& [f0, f1, f2] = value;
        fn(f0), fn(f1), fn(f2);
    } else if constexpr (count == 4) {
        const auto& [f0, f1, f2, f3] = value;
        fn(f0), fn(f1), fn(f2), fn(f3);
    } else if constexpr (count == 5) {
        const auto& [f0, f1, f2, f3, f4] = value;
        fn(f0), fn(f1), fn(f2), fn(f3), fn(f4);
    } else if constexpr (count == 6) {
        const auto& [f0, f1, f2, f3, f4, f5] = value;
        fn(f0), fn(f1), fn(f2), fn(f3), fn(f4), fn(f5);
    } else if constexpr (count == 7) {
        const auto& [f0, f1, f2, f3, f4, f5, f6] = value;
        fn(f0), fn(f1), fn(f2), fn(f3), fn(f4), fn(f5), fn(f6);
    } else if constexpr (count == 8) {
        const auto& [f0, f1, f2, f3, f4, f5, f6, f7] = value;
        fn(f0), fn(f1), fn(f2), fn(f3), fn(f4), fn(f5), fn(f6), fn(f7);
    } else if constexpr (count == 9) {
        const auto& [f0, f1, f2, f3, f4, f5, f6, f7, f8] = value;
        fn(f0), fn(f1), fn(f2), fn(f3), fn(f4), fn(f5), fn(f6), fn(f7), fn(f8);
    } else if constexpr (count == 10) {
        const auto& [f0, f1, f2, f3, f4, f5, f6, f7, f8, f9] = value;
        fn(f0), fn(f1), fn(f2), fn(f3), fn(f4), fn(f5), fn(f6), fn(f7), fn(f8), fn(f9);
    }
}

// Mixes `hash` into `seed`.
inline void mixHash(std::size_t& seed, std::size_t hash) { seed ^= hash + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2); }

template <typename T>
std::size_t hashOf(const T& value);

namespace detail {

inline std::size_t hashBytes(std::span<const std::uint8_t> bytes) {
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace detail

// A hash of a value from its parts: numbers, texts, addresses and byte slices directly; optionals and
// variants by what they hold; plain aggregates (the message kinds' cases) field by field.
template <typename T>
std::size_t hashOf(const T& value) {
    if constexpr (std::is_arithmetic_v<T> || std::is_enum_v<T> || std::is_same_v<T, std::string>) {
        return std::hash<T>{}(value);
    } else if constexpr (requires { std::span<const std::uint8_t>(value.rawValue()); }) {
        return detail::hashBytes(value.rawValue());  // addresses
    } else if constexpr (std::is_same_v<T, ByteSlice>) {
        return detail::hashBytes(value.bytes());
    } else if constexpr (requires { value.has_value(); *value; }) {
        return value ? hashOf(*value) + 1 : 0;
    } else if constexpr (requires { value.index(); value.valueless_by_exception(); }) {
        std::size_t seed = value.index();
        std::visit([&seed](const auto& alternative) { mixHash(seed, hashOf(alternative)); }, value);
        return seed;
    } else {
        std::size_t seed = 0;
        forEachField(value, [&seed](const auto& field) { mixHash(seed, hashOf(field)); });
        return seed;
    }
}

}  // namespace ZuzizavAdiduDazorud
