#include "CaptureBackend.h"

#include <ZuzizavAdiduDazorud/EtherCapture.h>

#include <unistd.h>

namespace Tidemark {

namespace {

class EtherCaptureSession final : public CaptureSession {
public:
    explicit EtherCaptureSession(std::shared_ptr<ZuzizavAdiduDazorud::EtherCapture> capture)
        : capture_(std::move(capture)) {}
    void cancel() override { capture_->cancel(); }

private:
    std::shared_ptr<ZuzizavAdiduDazorud::EtherCapture> capture_;
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
    return [](const CaptureParameters& p, FrameCallback callback) -> std::shared_ptr<CaptureSession> {
        try {
            return std::make_shared<EtherCaptureSession>(ZuzizavAdiduDazorud::EtherCapture::make(
                p.interface, p.count, p.command, p.snaplen, p.promiscuous, std::move(callback)));
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
