#pragma once

#include "ByteSlice.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ZuzizavAdiduDazorud {

// Exactly two lowercase hex digits.
const char* byteHexText(std::uint8_t value);
// "0x" and at least four lowercase hex digits.
std::string wordHexText(std::uint64_t value);
std::string wordHexText(std::uint16_t value);

// Bytes from a text of hex digits; none (and an error line) on the first other character.
// An odd trailing digit is dropped.
std::optional<ByteSlice> makeData(std::string_view packetStream);

}  // namespace ZuzizavAdiduDazorud
