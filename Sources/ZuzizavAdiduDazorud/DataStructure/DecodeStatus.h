#pragma once

#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <cstdint>
#include <string_view>

namespace ZuzizavAdiduDazorud {

// Whether a record's bytes agree with its length fields.
enum class DecodeStatus : std::uint8_t {
    complete,
    // The bytes end before a length field says they do, and the capture cut the frame short (its
    // original length is above the bytes captured). A record decoded on its own, outside a frame, says
    // truncated whenever its bytes end early.
    truncated,
    // A length field lies: it claims more bytes than an uncut frame holds, or fewer than the header needs.
    malformed,
};

// "complete", "truncated", "malformed".
inline std::string_view toString(DecodeStatus status) {
    static constexpr std::string_view names[] = {"complete", "truncated", "malformed"};
    return names[static_cast<std::size_t>(status)];
}

// The end of a verbose text: nothing for a complete record, else " [truncated]" or " [malformed]".
inline void appendStatus(text::LineWriter& out, DecodeStatus status) {
    if (status != DecodeStatus::complete) out << " [" << toString(status) << ']';
}

// A record whose bytes end early: truncated, unless a lie was found already.
inline void markShort(DecodeStatus& status) {
    if (status == DecodeStatus::complete) status = DecodeStatus::truncated;
}

}  // namespace ZuzizavAdiduDazorud
