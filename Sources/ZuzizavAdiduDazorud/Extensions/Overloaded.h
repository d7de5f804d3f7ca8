#pragma once

namespace ZuzizavAdiduDazorud {

// Builds a visitor for std::visit from several lambdas.
template <typename... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <typename... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace ZuzizavAdiduDazorud
