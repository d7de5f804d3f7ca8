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

// What a decoder knows of the frame around its bytes.
struct DecodeContext {
    // The capture kept fewer bytes than the frame had (its original length is above the bytes captured):
    // bytes that end early were cut, not lied about. A record decoded on its own says so.
    bool cutByCapture = true;
};

// A record whose bytes end early: truncated when the capture cut them, else malformed; a lie found
// already stays.
inline void markShort(DecodeStatus& status, const DecodeContext& context) {
    if (status == DecodeStatus::complete) {
        status = context.cutByCapture ? DecodeStatus::truncated : DecodeStatus::malformed;
    }
}

}  // namespace ZuzizavAdiduDazorud
