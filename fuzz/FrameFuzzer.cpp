// Any bytes as a captured frame: every decoder is reachable, and every text of every layer is rendered.
#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

using namespace ZuzizavAdiduDazorud;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quietLogging();
    Frame frame(ByteSlice(data, size), Timeval{}, static_cast<std::int64_t>(size), 1);
    std::size_t total = frame.description().size() + frame.verboseDescription().size() + frame.hexdump().size();
    total += frame.layer3.verboseDescription().size() + frame.layer3.hexdump().size();
    if (const Layer4* layer4 = frame.layer4()) {
        total += layer4->description().size() + layer4->verboseDescription().size() + layer4->hexdump().size();
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
    std::visit([&](const auto& record) {
        if constexpr (requires { record.startIndex.at(Field::type); }) check(record.startIndex, record.endIndex);
    }, frame.layer3.value());
    return total == 0 ? -1 : 0;
}
