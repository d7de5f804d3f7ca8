#include "CaptureBackend.h"

#include <ZuzizavAdiduDazorud/EtherCapture.h>

#include <unistd.h>

#include <atomic>
#include <thread>

namespace Tidemark {

namespace {

// The packet library's capture on a thread of its own, counted as the helper counts.
class EtherCaptureSession final : public CaptureSession {
public:
    EtherCaptureSession(std::shared_ptr<ZuzizavAdiduDazorud::EtherCapture> capture, ObservationCallback callback)
        : capture_(std::move(capture)) {
        thread_ = std::thread([this, callback = std::move(callback)] {
            try {
                countDatagrams(*capture_, 0, callback);
            } catch (const ZuzizavAdiduDazorud::EtherCaptureError&) {
                // The loop could not run: running() says so.
            }
            ended_ = true;
        });
    }
    ~EtherCaptureSession() override {
        cancel();
        if (thread_.joinable()) thread_.join();
    }
    void cancel() override { capture_->cancel(); }
    bool running() const override { return !ended_; }

private:
    std::shared_ptr<ZuzizavAdiduDazorud::EtherCapture> capture_;
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

CaptureFailure failureOf(const ZuzizavAdiduDazorud::EtherCaptureError& error) {
    using Case = ZuzizavAdiduDazorud::EtherCaptureError::Case;
    if (error.errorCase() != Case::pcap_open_live_failed) {
        return CaptureFailure(CaptureFailure::Kind::other, error.description());
    }
    return CaptureFailure(failureKind(openRefusal(error.message())), error.message());
}

}  // namespace

CaptureFailure::Kind failureKind(HelperExit exit) {
    switch (exit) {
        case HelperExit::denied: return CaptureFailure::Kind::permissionDenied;
        case HelperExit::noSuchDevice: return CaptureFailure::Kind::noSuchDevice;
        case HelperExit::openFailed: return CaptureFailure::Kind::openFailed;
        case HelperExit::done:
        case HelperExit::failed: break;
    }
    return CaptureFailure::Kind::other;
}

CaptureFactory etherCaptureFactory() {
    return [](const CaptureParameters& p, ObservationCallback callback) -> std::shared_ptr<CaptureSession> {
        try {
            return std::make_shared<EtherCaptureSession>(
                ZuzizavAdiduDazorud::EtherCapture::open(p.interface, p.command, p.snaplen, p.promiscuous),
                std::move(callback));
        } catch (const ZuzizavAdiduDazorud::EtherCaptureError& error) {
            throw failureOf(error);
        }
    };
}

CaptureFactory defaultCaptureFactory(const std::string& programDirectory) {
    if (geteuid() != 0) {
        if (auto helper = findCaptureHelper(programDirectory)) return helperCaptureFactory(*helper);
    }
    return etherCaptureFactory();
}

}  // namespace Tidemark
