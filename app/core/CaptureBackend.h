#pragma once

#include "CaptureRefusal.h"
#include "MediaPath.h"
#include "MeetingServices.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace Tidemark {

struct CaptureParameters {
    std::string interface;
    std::string command{captureFilter};  // the meeting services' fixed filter
    std::int64_t snaplen = 128;
    bool promiscuous = false;
};

// Why a capture did not start. what() is libpcap's text when the open itself failed, else the whole
// description of what went wrong.
class CaptureFailure : public std::runtime_error {
public:
    enum class Kind {
        permissionDenied,  // the open was refused for want of rights
        noSuchDevice,      // there is no such interface
        openFailed,        // the open failed otherwise
        other,             // anything else (no helper, a filter refused, ...)
    };
    CaptureFailure(Kind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
    Kind kind() const { return kind_; }
    bool openFailed() const { return kind_ != Kind::other; }

private:
    Kind kind_;
};

// The failure a helper's exit stands for: `other` for anything but a refused open.
CaptureFailure::Kind failureKind(HelperExit exit);

// A running capture, as the monitor sees it. It captures until cancelled, or until it fails.
class CaptureSession {
public:
    virtual ~CaptureSession() = default;
    virtual void cancel() = 0;
    // False once the capture has ended, cancelled or not.
    virtual bool running() const = 0;
};

// What a capture saw: a flow's first datagram, then its count once a second.
using ObservationCallback = std::function<void(const Observation&)>;
// Starts a capture; throws CaptureFailure. Observations arrive on another thread.
using CaptureFactory =
    std::function<std::shared_ptr<CaptureSession>(const CaptureParameters& parameters, ObservationCallback callback)>;

// Live capture through the packet library, in this process (it then needs the capture rights itself),
// counted as the helper counts.
CaptureFactory etherCaptureFactory();

// Live capture through the capture helper (tidemark-capture), which alone holds the capture
// capability: a helper process for each capture, its observations read on a thread of the session's own.
// The helper has the application's filter and snapshot length built in; only the interface is passed.
// The helper's exit code says why it could not capture; its last line of standard error is the text.
// cancel() ends the helper (SIGTERM) and it is reaped.
CaptureFactory helperCaptureFactory(std::string helperPath);

// The helper installed beside the program (../libexec/tidemark/) or, in a build tree, in the program's
// own folder; none when there is neither.
std::optional<std::string> findCaptureHelper(const std::string& programDirectory);

// The helper when there is one and this process is not root; else capture in-process.
CaptureFactory defaultCaptureFactory(const std::string& programDirectory);

}  // namespace Tidemark
