#include "Uuid.h"

#include <random>

namespace ZuzizavAdiduDazorud {

Uuid Uuid::random() {
    // One generator per thread, seeded once from the system's entropy source.
    thread_local std::mt19937_64 generator{[] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }()};
    Uuid uuid;
    std::uint64_t high = generator();
    std::uint64_t low = generator();
    for (int i = 0; i < 8; ++i) {
        uuid.bytes[i] = static_cast<std::uint8_t>(high >> (56 - 8 * i));
        uuid.bytes[8 + i] = static_cast<std::uint8_t>(low >> (56 - 8 * i));
    }
    uuid.bytes[6] = static_cast<std::uint8_t>((uuid.bytes[6] & 0x0f) | 0x40);
    uuid.bytes[8] = static_cast<std::uint8_t>((uuid.bytes[8] & 0x3f) | 0x80);
    return uuid;
}

std::string Uuid::description() const {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0xf]);
    }
    return out;
}

}  // namespace ZuzizavAdiduDazorud
