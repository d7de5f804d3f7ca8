#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace ZuzizavAdiduDazorud {

// A keyed serialised form: named values of a few plain kinds.
using KeyedValue = std::variant<std::monostate, bool, std::int64_t, double, std::string>;
using KeyedContainer = std::map<std::string, KeyedValue>;
std::string describe(const KeyedContainer& container);

// The serialiser's own errors: a key that is not there, a value of another kind.
struct KeyedDecodingError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct IPv4AddressDecodingError : std::runtime_error {
    enum class Case { decoding };
    explicit IPv4AddressDecodingError(std::string message) : std::runtime_error(message), message(std::move(message)) {}
    Case errorCase() const { return Case::decoding; }
    std::string message;
};

struct IPv6AddressDecodingError : std::runtime_error {
    enum class Case { decoding };
    explicit IPv6AddressDecodingError(std::string message) : std::runtime_error(message), message(std::move(message)) {}
    Case errorCase() const { return Case::decoding; }
    std::string message;
};

// A 4-byte IPv4 address; text in dotted decimal.
class IPv4Address {
public:
    // Exactly 4 bytes, else none.
    static std::optional<IPv4Address> fromBytes(const ByteSlice& bytes);
    static std::optional<IPv4Address> fromString(std::string_view text);
    IPv4Address() = default;
    explicit IPv4Address(std::array<std::uint8_t, 4> bytes) : bytes_(bytes) {}

    const std::array<std::uint8_t, 4>& rawValue() const { return bytes_; }
    std::string description() const;
    void appendDescription(text::LineWriter& out) const { out.commit(text::writeDottedQuad(out.reserve(15), bytes_.data())); }

    // {"ipv4String": text}
    KeyedContainer encode() const;
    // Throws KeyedDecodingError, or IPv4AddressDecodingError when the text is no address.
    static IPv4Address decode(const KeyedContainer& container);

    friend bool operator==(const IPv4Address&, const IPv4Address&) = default;

private:
    std::array<std::uint8_t, 4> bytes_{};
};

// A 16-byte IPv6 address; text in the compressed form.
class IPv6Address {
public:
    // Exactly 16 bytes, else none.
    static std::optional<IPv6Address> fromBytes(const ByteSlice& bytes);
    static std::optional<IPv6Address> fromString(std::string_view text);
    IPv6Address() = default;
    explicit IPv6Address(std::array<std::uint8_t, 16> bytes) : bytes_(bytes) {}

    const std::array<std::uint8_t, 16>& rawValue() const { return bytes_; }
    std::string description() const;
    void appendDescription(text::LineWriter& out) const { out.commit(text::writeIPv6(out.reserve(46), bytes_.data())); }

    // {"ipv6String": text}
    KeyedContainer encode() const;
    // Throws KeyedDecodingError, or IPv6AddressDecodingError when the text is no address.
    static IPv6Address decode(const KeyedContainer& container);

    friend bool operator==(const IPv6Address&, const IPv6Address&) = default;

private:
    std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace ZuzizavAdiduDazorud
