#include "SampleFrames.h"

#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>

#include <stdexcept>
#include <string>

namespace TestSupport {

using ZuzizavAdiduDazorud::Frame;

namespace {
const Frame& decoded(std::string_view hex, std::int64_t originalLength) {
    return *new Frame(*ZuzizavAdiduDazorud::makeData(hex), ZuzizavAdiduDazorud::Timeval{}, originalLength);
}
}  // namespace

const Frame& sampleTcpFrame() {
    static const Frame& frame = decoded(
        "685b35890a04c869cd2c0d500800450000341c46400040069d13c0a80010c0a8000ac001de7e2d3a1e6b8f6a2c11801008040a2c"
        "00000101080a0011a2b33c4d5e6f",
        200);
    return frame;
}

const Frame& sampleMdnsFrame() {
    static const Frame& frame = decoded(
        "01005e0000fbc869cd2c0d5008004500005f3a210000ff11dfa5c0a80023e00000fb14e914e9004b0a7e000084000000000100000000"
        "055f68747470045f746370056c6f63616c00000c000100001194001b184f6666696365205072696e746572206f6e204465736b2032"
        "c00c",
        109);
    return frame;
}

const Frame& sampleIcmpFrame() {
    static const Frame& frame = decoded(
        "b07fb95d8ed2685b35890a040800450000546b2f000040010000c0a8000a04020201080030b3138500005f6a1b2c000d4e2108090a0b"
        "0c0d0e0f101112131415161718191a1b1c1d1e1f202122232425262728292a2b2c2d2e2f3031323334353637",
        98);
    return frame;
}

const Frame& sampleIcmp6Frame() {
    static const Frame& frame = decoded(
        "b07fb95d8ed2685b35890a0486dd6000000000183afffe800000000000001867ff5dd25bad67fe80000000000000b27fb9fffe5d8ed2"
        "8800136940000000fe800000000000001867ff5dd25bad67",
        78);
    return frame;
}

Frame frameFromHex(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (c != ' ' && c != '\n') digits.push_back(c);
    auto bytes = ZuzizavAdiduDazorud::makeData(digits);
    if (!bytes) throw std::invalid_argument("not hex: " + std::string(text));
    return Frame(*bytes, {}, static_cast<std::int64_t>(bytes->count()), 1);
}

}  // namespace TestSupport
