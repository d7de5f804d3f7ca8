#pragma once

#include "MeetingServices.h"

#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Tidemark {

struct CaptureParameters {
    std::string interface;
    std::int32_t count = 1;
    std::string command{captureFilter};            // the meeting services' fixed filter
    std::int64_t snaplen = 96;
    bool promiscuous = false;
};

// A running capture, as the monitor sees it.
class CaptureSession {
public:
    virtual ~CaptureSession() = default;
    virtual void cancel() = 0;
};

using FrameCallback = std::function<void(const ZuzizavAdiduDazorud::Frame&)>;
// Starts a capture; throws ZuzizavAdiduDazorud::EtherCaptureError. Frames arrive on another thread.
using CaptureFactory =
    std::function<std::shared_ptr<CaptureSession>(const CaptureParameters& parameters, FrameCallback callback)>;

// Live capture through the packet library, in this process (it then needs the capture rights itself).
CaptureFactory etherCaptureFactory();

// Live capture through the capture helper (tidemark-capture), which alone holds the capture
// capability: a new helper process for each capture, its pcap stream read on a thread of the
// session's own, each packet decoded into a Frame of the stream's link type. The helper has the
// application's filter and snapshot length built in; only the interface and count are passed.
// A helper that cannot open the capture gives EtherCaptureError::pcap_open_live_failed with libpcap's
// text (exit code 2: permission denied, 3: no such device) or genericError. cancel() ends the helper
// (SIGTERM) and it is reaped.
CaptureFactory helperCaptureFactory(std::string helperPath);

// The helper installed beside the program (../libexec/tidemark/) or, in a build tree, in the program's
// own folder; none when there is neither.
std::optional<std::string> findCaptureHelper(const std::string& programDirectory);

// The helper when there is one and this process is not root; else capture in-process.
CaptureFactory defaultCaptureFactory(const std::string& programDirectory);

// A capture device as the system lists it.
struct CaptureDevice {
    std::string name;
    bool up = false;
    bool running = false;
    bool loopback = false;
};

// The default-route interface (lowest metric in a /proc/net/route table) when it is a capture
// device; else the first up, running, non-loopback device whose name contains "en"; else none.
std::optional<std::string> chooseCaptureInterface(const std::string& routeTable,
                                                  const std::vector<CaptureDevice>& devices);

struct InterfaceProbe {
    std::optional<std::string> name;
    std::optional<std::string> error;  // what could not be read
};
// Reads /proc/net/route and libpcap's device list.
InterfaceProbe probeCaptureInterface();

}  // namespace Tidemark
