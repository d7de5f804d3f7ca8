// Decoding into a frame that held another: any two frames of any decodable link types, the second decoded
// into the frame the first was decoded into, must give exactly what the second gives decoded fresh
// (every text, hex dump and field position of every layer). The input is split where its first byte
// says; the second byte picks the two link types.
#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace ZuzizavAdiduDazorud;

namespace {

constexpr LinkType linkTypes[] = {LinkType::ethernet, LinkType::linuxSll, LinkType::linuxSll2, LinkType::raw,
                                  LinkType::null,     LinkType::ieee80211, LinkType::rawFile};

// What a frame shows: every text, every hex dump and every field position, of every layer.
std::vector<std::string> shown(const Frame& frame) {
    std::vector<std::string> out{frame.description(), frame.verboseDescription(), frame.hexdump(),
                                 frame.layer3.description(), frame.layer3.verboseDescription(), frame.layer3.hexdump(),
                                 std::to_string(frame.layer3.index()), std::to_string(frame.frameNumber)};
    auto positions = [&out](const FieldIndex& start, const FieldIndex& end) {
        std::string text;
        for (std::size_t i = 0; i < fieldCount; ++i) {
            const auto s = start.at(static_cast<Field>(i));
            const auto e = end.at(static_cast<Field>(i));
            text += (s ? std::to_string(*s) : "-") + ":" + (e ? std::to_string(*e) : "-") + " ";
        }
        out.push_back(text);
    };
    positions(frame.startIndex, frame.endIndex);
    frame.layer3.visit([&](const auto& record) {
        if constexpr (requires { record.startIndex; }) positions(record.startIndex, record.endIndex);
    });
    if (const Layer4* layer4 = frame.layer4()) {
        out.push_back(layer4->description());
        out.push_back(layer4->verboseDescription());
        out.push_back(layer4->hexdump());
        layer4->visit([&](const auto& record) {
            if constexpr (requires { record.startIndex; }) positions(record.startIndex, record.endIndex);
        });
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quietLogging();
    if (size < 2) return -1;
    const std::size_t split = std::min<std::size_t>(data[0], size - 2);
    const LinkType first = linkTypes[data[1] % std::size(linkTypes)];
    const LinkType second = linkTypes[(data[1] / std::size(linkTypes)) % std::size(linkTypes)];
    const std::span<const std::uint8_t> a(data + 2, split);
    const std::span<const std::uint8_t> b(data + 2 + split, size - 2 - split);
    Frame reused;
    reused.decode(first, a, Timeval{1, 2}, static_cast<std::int64_t>(a.size()), 7);
    reused.decode(second, b, Timeval{3, 4}, static_cast<std::int64_t>(b.size()), 8);
    const Frame fresh(second, ByteSlice(b.data(), b.size()), Timeval{3, 4}, static_cast<std::int64_t>(b.size()), 8);
    if (shown(reused) != shown(fresh)) __builtin_trap();
    if (shown(reused.owning()) != shown(fresh)) __builtin_trap();
    return 0;
}
