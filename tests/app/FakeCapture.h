#pragma once

#include "CaptureBackend.h"

#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>

#include <array>
#include <cstdio>
#include <string>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Tidemark::CaptureParameters;
using Tidemark::CaptureSession;
using Tidemark::CaptureFactory;
using Tidemark::FrameCallback;
using ZuzizavAdiduDazorud::Frame;

class FakeSession final : public CaptureSession {
public:
    void cancel() override { ++cancels; }
    int cancels = 0;
};

// An Ethernet/IPv4/UDP frame from `source` port 8801.
inline Frame udpFrom(const std::array<int, 4>& source) {
    char address[9];
    std::snprintf(address, sizeof address, "%02x%02x%02x%02x", source[0], source[1], source[2], source[3]);
    auto bytes = ZuzizavAdiduDazorud::makeData(std::string("685b35890a04c869cd2c0d500800") +
                                               "4500001c000040004011000" + "0" + address + "c0a8000a" +
                                               "22611f4100080000");
    return Frame(*bytes, {}, static_cast<std::int64_t>(bytes->count()), 1);
}

// Capture runs decided by the test: each run may throw, deliver a frame (from another thread), or stay quiet.
struct FakeCapture {
    std::function<std::optional<Frame>(int run)> frameFor = [](int) { return std::nullopt; };
    std::function<void(int run)> failFor = [](int) {};
    std::vector<std::shared_ptr<FakeSession>> sessions;
    std::vector<CaptureParameters> parameters;
    std::vector<std::thread::id> callbackThreads;

    CaptureFactory factory() {
        return [this](const CaptureParameters& p, FrameCallback callback) -> std::shared_ptr<CaptureSession> {
            const int run = static_cast<int>(parameters.size());
            parameters.push_back(p);
            failFor(run);
            auto session = std::make_shared<FakeSession>();
            sessions.push_back(session);
            if (auto frame = frameFor(run)) {
                std::thread([&, callback, frame = *frame] {
                    callbackThreads.push_back(std::this_thread::get_id());
                    callback(frame);
                }).join();
            }
            return session;
        };
    }
};

}  // namespace
