#pragma once

#include "CaptureBackend.h"
#include "MediaPath.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Tidemark::CaptureFactory;
using Tidemark::CaptureParameters;
using Tidemark::CaptureSession;
using Tidemark::Direction;
using Tidemark::NetAddress;
using Tidemark::Observation;
using Tidemark::ObservationCallback;
using Tidemark::PayloadClass;

class FakeSession final : public CaptureSession {
public:
    void cancel() override {
        ++cancels;
        ended = true;
    }
    bool running() const override { return !ended; }
    int cancels = 0;
    bool ended = false;
};

// `count` datagrams of `kind` from `address` port `port` (an outbound one: sent to it).
inline Observation datagrams(const std::string& address, std::uint16_t port, std::uint32_t count = 1,
                             PayloadClass kind = PayloadClass::rtp, Direction direction = Direction::inbound) {
    return Observation{direction, kind, *NetAddress::fromText(address), port, 50000, count};
}

// Captures decided by the test: each may throw; observations are delivered when the test says, from a
// thread of their own as a capture delivers them.
struct FakeCapture {
    std::function<void(int run)> failFor = [](int) {};
    std::vector<std::shared_ptr<FakeSession>> sessions;
    std::vector<CaptureParameters> parameters;
    ObservationCallback callback;  // the latest capture's

    CaptureFactory factory() {
        return [this](const CaptureParameters& p, ObservationCallback c) -> std::shared_ptr<CaptureSession> {
            const int run = static_cast<int>(parameters.size());
            parameters.push_back(p);
            failFor(run);
            auto session = std::make_shared<FakeSession>();
            sessions.push_back(session);
            callback = std::move(c);
            return session;
        };
    }

    void deliver(const std::vector<Observation>& observations) {
        if (!callback) return;
        std::thread([&] {
            for (const Observation& o : observations) callback(o);
        }).join();
    }
};

}  // namespace
