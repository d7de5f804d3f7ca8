#pragma once

#include <string_view>
#include <type_traits>
#include <variant>

namespace ZuzizavAdiduDazorud {

// The base of a message kind's case that has no arguments: any two values of such a case are equal.
// Kinds are std::variants of their cases, each a small struct named after the case.
struct NoArguments {
    friend bool operator==(const NoArguments&, const NoArguments&) = default;
};

// The name of a kind's case: each case struct declares its own (a case without one does not compile).
template <typename... Cases>
std::string_view caseNameOf(const std::variant<Cases...>& kind) {
    return std::visit([](const auto& c) -> std::string_view { return std::decay_t<decltype(c)>::name; }, kind);
}

}  // namespace ZuzizavAdiduDazorud
