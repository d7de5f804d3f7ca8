#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/Extensions/MacText.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>
#include <ZuzizavAdiduDazorud/Extensions/Uuid.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer3.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer4.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ZuzizavAdiduDazorud {

enum class FrameFormat : std::uint8_t { ieee8023, ethernet, invalid };
std::string_view toString(FrameFormat format);
std::optional<FrameFormat> frameFormatFromString(std::string_view rawValue);

// Capture time as libpcap gives it.
struct Timeval {
    std::int64_t seconds = 0;
    std::int32_t microseconds = 0;
};

// Microseconds since 1970, exact.
using Date = std::chrono::sys_time<std::chrono::microseconds>;

// One captured link-layer frame, decoded. Always decodes: malformed input gives unknown content.
struct Frame {
    Frame(ByteSlice data, Timeval timeval, std::int64_t originalLength,
          std::optional<std::int64_t> frameNumber = std::nullopt);

    Uuid id;
    std::int64_t frameNumber = 0;
    Date date;
    MacText srcmac;
    MacText dstmac;
    FrameFormat frameFormat = FrameFormat::invalid;
    std::optional<std::uint64_t> ieeeLength;
    std::optional<std::uint8_t> ieeeDsap;
    std::optional<std::uint8_t> ieeeSsap;
    std::optional<std::uint8_t> ieeeControl;
    std::optional<std::uint64_t> snapOrg;
    std::optional<std::uint64_t> snapType;
    std::optional<std::uint64_t> ethertype;
    std::int64_t originalLength = 0;
    std::optional<ByteSlice> padding;
    std::int64_t paddingBytes = 0;
    FieldIndex startIndex;
    FieldIndex endIndex;
    Layer3 layer3;
    ByteSlice data;

    // The IP record's transport content; noLayer4 for protocols without one; none for unknown.
    const Layer4* layer4() const;

    std::string description() const;
    // Appends description() to `out`, for callers printing many frames into one buffer.
    void appendDescription(text::LineWriter& out) const;
    std::string verboseDescription() const;
    std::string hexdump() const { return data.hexdump(); }

    // The process-wide counter numbering frames built without a number.
    static void resetFrameCounter();

private:
    void decodeIeee8023(std::size_t length);
    void decodeEthernet(std::uint64_t type);
};

}  // namespace ZuzizavAdiduDazorud
