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

// An Ethernet/IPv4/UDP frame from `source` port `port`.
inline Frame udpFrom(const std::array<int, 4>& source, std::uint16_t port = 8801) {
    char hex[13];
    std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x%04x", source[0], source[1], source[2], source[3], port);
    const std::string text(hex);
    auto bytes = ZuzizavAdiduDazorud::makeData(std::string("685b35890a04c869cd2c0d500800") +
                                               "4500001c0000400040110000" + text.substr(0, 8) + "c0a8000a" +
                                               text.substr(8) + "1f4100080000");
    return Frame(*bytes, {}, static_cast<std::int64_t>(bytes->count()), 1);
}

// An Ethernet/IPv6/UDP frame from `source` (32 hex digits) port `port`.
inline Frame udp6From(const std::string& source, std::uint16_t port) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "%04x", port);
    auto bytes = ZuzizavAdiduDazorud::makeData(std::string("685b35890a04c869cd2c0d5086dd") + "6000000000081140" + source +
                                               "20010db8000000000000000000000001" + hex + "1f4100080000");
    return Frame(*bytes, {}, static_cast<std::int64_t>(bytes->count()), 1);
}

// Capture runs decided by the test: each run may throw, deliver a frame (from another thread), or stay quiet.
struct FakeCapture {
    std::function<std::optional<Frame>(int run)> frameFor = [](int) { return std::nullopt; };
    std::function<std::vector<Frame>(int run)> framesFor;  // several per run, when set
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
            std::vector<Frame> frames = framesFor ? framesFor(run) : std::vector<Frame>{};
            if (!framesFor) {
                if (auto frame = frameFor(run)) frames.push_back(*frame);
            }
            if (!frames.empty()) {
                std::thread([&, callback, frames] {
                    callbackThreads.push_back(std::this_thread::get_id());
                    for (const Frame& frame : frames) callback(frame);
                }).join();
            }
            return session;
        };
    }
};

}  // namespace
