#include <ZuzizavAdiduDazorud/Extensions/Uuid.h>

#include <cstring>
#include <random>

namespace ZuzizavAdiduDazorud {

namespace {

// xoshiro256**: fast, 256 bits of state, ample for identifiers that only need to differ.
class Generator {
public:
    Generator() {
        std::random_device device;
        for (auto& word : state_) word = (std::uint64_t{device()} << 32) | device();
        if (state_[0] == 0 && state_[1] == 0 && state_[2] == 0 && state_[3] == 0) state_[0] = 1;
    }
    std::uint64_t next() {
        const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotl(state_[3], 45);
        return result;
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t state_[4];
};

}  // namespace

Uuid Uuid::random() {
    // One generator per thread, seeded once from the system's entropy source.
    thread_local Generator generator;
    // Random bits are random in any byte order: copy the words as they lie, then set the version
    // (4) and variant (10) bits.
    Uuid uuid;
    const std::uint64_t words[2] = {generator.next(), generator.next()};
    std::memcpy(uuid.bytes.data(), words, sizeof words);
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
