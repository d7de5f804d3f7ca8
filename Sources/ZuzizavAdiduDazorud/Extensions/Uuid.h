#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace ZuzizavAdiduDazorud {

// A random (version 4) UUID.
struct Uuid {
    std::array<std::uint8_t, 16> bytes{};

    static Uuid random();
    // Upper-case 8-4-4-4-12 text.
    std::string description() const;

    friend bool operator==(const Uuid&, const Uuid&) = default;
};

}  // namespace ZuzizavAdiduDazorud
