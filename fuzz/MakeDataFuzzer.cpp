// Any text as hex digits; what decodes is decoded as a frame.
#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace ZuzizavAdiduDazorud;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quietLogging();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto bytes = makeData(text);
    if (!bytes) return 0;
    if (bytes->count() != size / 2) __builtin_trap();
    Frame frame(*bytes, Timeval{}, static_cast<std::int64_t>(bytes->count()), 1);
    return frame.description().empty() ? -1 : 0;
}
