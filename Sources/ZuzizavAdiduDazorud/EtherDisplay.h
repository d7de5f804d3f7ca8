#pragma once

#include <concepts>
#include <string>

namespace ZuzizavAdiduDazorud {

// Every decoded record renders a one-line text, a verbose one-line listing of its
// fields, and a hex dump of its own bytes.
template <typename T>
concept EtherDisplay = requires(const T& record) {
    { record.description() } -> std::convertible_to<std::string>;
    { record.verboseDescription() } -> std::convertible_to<std::string>;
    { record.hexdump() } -> std::convertible_to<std::string>;
};

}  // namespace ZuzizavAdiduDazorud
