#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace TestSupport {

// The frames of a classic pcap file (microsecond stamps, either byte order), decoded with the file's
// link type and numbered from 1. Needs no libpcap, so decoding tests can read real captures.
inline std::vector<ZuzizavAdiduDazorud::Frame> readCaptureFile(const std::string& path) {
    using namespace ZuzizavAdiduDazorud;
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<Frame> frames;
    if (bytes.size() < 24) {
        ADD_FAILURE() << path << " is not a capture file";
        return frames;
    }
    std::uint32_t magic = 0;
    std::memcpy(&magic, bytes.data(), 4);
    const bool swapped = magic == 0xd4c3b2a1;
    EXPECT_TRUE(swapped || magic == 0xa1b2c3d4) << path;
    auto word = [&](std::size_t at) {
        std::uint32_t value = 0;
        std::memcpy(&value, bytes.data() + at, 4);
        return swapped ? __builtin_bswap32(value) : value;
    };
    const auto linkType = static_cast<LinkType>(word(20));
    for (std::size_t at = 24; at + 16 <= bytes.size();) {
        const std::uint32_t captured = word(at + 8);
        if (at + 16 + captured > bytes.size()) break;
        frames.emplace_back(linkType, ByteSlice(bytes.data() + at + 16, captured),
                            Timeval{word(at), static_cast<std::int32_t>(word(at + 4))},
                            static_cast<std::int64_t>(word(at + 12)), static_cast<std::int64_t>(frames.size() + 1));
        at += 16 + captured;
    }
    return frames;
}

// A file under tests/data/.
inline std::string testData(const std::string& name) { return std::string(TIDEMARK_TEST_DATA_DIR) + "/" + name; }

}  // namespace TestSupport
