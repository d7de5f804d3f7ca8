// Any bytes as a captured frame of any decodable link type (the first byte picks it): every decoder is
// reachable, and every text of every layer is rendered.
#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace ZuzizavAdiduDazorud;

namespace {

constexpr LinkType linkTypes[] = {LinkType::ethernet, LinkType::linuxSll, LinkType::linuxSll2, LinkType::raw,
                                  LinkType::null,     LinkType::ieee80211, LinkType::rawFile};

// One-line and verbose texts are single lines of printable text: nothing from the wire may bring a
// control character into them.
void checkText(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quietLogging();
    if (size == 0) return -1;
    const LinkType type = linkTypes[data[0] % std::size(linkTypes)];
    ++data, --size;
    Frame frame(type, ByteSlice(data, size), Timeval{}, static_cast<std::int64_t>(size), 1);
    const std::string texts[] = {frame.description(), frame.verboseDescription(), frame.layer3.verboseDescription()};
    for (const auto& text : texts) checkText(text);
    std::size_t total = frame.hexdump().size() + frame.layer3.hexdump().size() + texts[0].size();
    if (const Layer4* layer4 = frame.layer4()) {
        checkText(layer4->description());
        checkText(layer4->verboseDescription());
        total += layer4->hexdump().size();
    }
    // Every recorded position must lie inside the frame.
    auto check = [&](const FieldIndex& start, const FieldIndex& end) {
        for (std::size_t i = 0; i < fieldCount; ++i) {
            auto s = start.at(static_cast<Field>(i));
            auto e = end.at(static_cast<Field>(i));
            if (s.has_value() != e.has_value() || (s && (*s > *e || *e > size))) __builtin_trap();
        }
    };
    check(frame.startIndex, frame.endIndex);
    for (const Vlan& tag : frame.vlans) check(tag.startIndex, tag.endIndex);
    frame.layer3.visit([&](const auto& record) {
        if constexpr (requires { record.startIndex.at(Field::type); }) check(record.startIndex, record.endIndex);
        if constexpr (requires { record.extensionHeaders; }) {
            for (const auto& header : record.extensionHeaders) check(header.startIndex, header.endIndex);
        }
    });
    return total == 0 ? -1 : 0;
}
