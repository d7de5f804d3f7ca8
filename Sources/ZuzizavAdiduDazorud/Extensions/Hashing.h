#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>
#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>

#include <cstddef>
#include <functional>
#include <optional>
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

// The number of fields of a plain aggregate: the most initialisers it takes.
template <typename T, std::size_t N = 0>
constexpr std::size_t fieldCount() {
    if constexpr (N < 8 && takesFields<T>(std::make_index_sequence<N + 1>{})) {
        return fieldCount<T, N + 1>();
    } else {
        return N;
    }
}

}  // namespace detail

// Calls `f` with each field of a plain aggregate of up to six fields, in declaration order.
template <typename T, typename F>
void forEachField(const T& value, F&& f) {
    constexpr std::size_t count = std::is_empty_v<T> ? 0 : detail::fieldCount<T>();
    static_assert(count <= 6, "forEachField takes aggregates of at most six fields");
    if constexpr (count == 1) {
        const auto& [a] = value;
        f(a);
    } else if constexpr (count == 2) {
        const auto& [a, b] = value;
        f(a), f(b);
    } else if constexpr (count == 3) {
        const auto& [a, b, c] = value;
        f(a), f(b), f(c);
    } else if constexpr (count == 4) {
        const auto& [a, b, c, d] = value;
        f(a), f(b), f(c), f(d);
    } else if constexpr (count == 5) {
        const auto& [a, b, c, d, e] = value;
        f(a), f(b), f(c), f(d), f(e);
    } else if constexpr (count == 6) {
        const auto& [a, b, c, d, e, g] = value;
        f(a), f(b), f(c), f(d), f(e), f(g);
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
    } else if constexpr (std::is_same_v<T, IPv4Address> || std::is_same_v<T, IPv6Address>) {
        return detail::hashBytes(value.rawValue());
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
