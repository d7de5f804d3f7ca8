#include <ZuzizavAdiduDazorud/PcapFile.h>

#include <ZuzizavAdiduDazorud/DecodeError.h>

#include <cstring>
#include <limits>

namespace ZuzizavAdiduDazorud {

namespace {

template <typename T>
void appendNative(std::vector<std::uint8_t>& out, T value) {
    std::uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

}  // namespace

ByteSlice makePcapFile(const std::vector<Frame>& frames) { return makePcapFile(frames, LinkType::ethernet); }

ByteSlice makePcapFile(const std::vector<Frame>& frames, LinkType linkType) {
    if (frames.empty()) return ByteSlice();
    std::size_t total = 24;
    std::size_t snaplen = 0;
    for (const auto& frame : frames) {
        total += 16 + frame.data.count();
        snaplen = std::max(snaplen, frame.data.count());
    }
    std::vector<std::uint8_t> out;
    out.reserve(total);
    appendNative<std::uint32_t>(out, 0xa1b2c3d4);
    appendNative<std::uint16_t>(out, 2);
    appendNative<std::uint16_t>(out, 4);
    appendNative<std::int32_t>(out, 0);
    appendNative<std::uint32_t>(out, 0);
    appendNative<std::uint32_t>(out, static_cast<std::uint32_t>(snaplen));
    appendNative<std::uint32_t>(out, static_cast<std::uint32_t>(linkType));
    for (const auto& frame : frames) {
        const auto micros = frame.date.time_since_epoch().count();
        // floor division: the microseconds of a record header are never negative.
        std::int64_t seconds = micros / 1'000'000;
        std::int64_t fraction = micros % 1'000'000;
        if (fraction < 0) {
            fraction += 1'000'000;
            seconds -= 1;
        }
        if (seconds < 0 || seconds > std::numeric_limits<std::uint32_t>::max()) {
            throw DecodeError("frame " + std::to_string(frame.frameNumber) +
                                                  " has a date outside the range of a capture file (1970 to 2106)");
        }
        if (frame.data.count() > std::numeric_limits<std::uint32_t>::max() || frame.originalLength < 0 ||
            frame.originalLength > std::numeric_limits<std::uint32_t>::max()) {
            throw DecodeError("frame " + std::to_string(frame.frameNumber) +
                                                  " has a length a capture file cannot hold");
        }
        appendNative<std::uint32_t>(out, static_cast<std::uint32_t>(seconds));
        appendNative<std::uint32_t>(out, static_cast<std::uint32_t>(fraction));
        appendNative<std::uint32_t>(out, static_cast<std::uint32_t>(frame.data.count()));
        appendNative<std::uint32_t>(out, static_cast<std::uint32_t>(frame.originalLength));
        auto bytes = frame.data.bytes();
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return ByteSlice(std::move(out));
}

}  // namespace ZuzizavAdiduDazorud
