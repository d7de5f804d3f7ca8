#pragma once

#include "CaptureBackend.h"
#include "DisplayState.h"
#include "MeetingServices.h"
#include "Scheduler.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace Tidemark {

// Drives capture one packet per run: a new server address starts the lookups, a run
// without a packet for 10 s resets the display, a denied capture asks for permission.
// Captures on "any" (every interface: cable, Wi-Fi, a VPN's tun device) unless told an interface.
// A capture that cannot start shows why in red and is tried again every 10 s.
// All its work runs on the main thread; only the capture callback runs elsewhere.
class StreamMonitor : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds watchdogDelay{10'000};
    static constexpr std::chrono::milliseconds restartDelay{5'000};
    static const QString resetLine;
    static const QString retryLine;
    static const QString allInterfaces;  // "any"

    struct Dependencies {
        DisplayState& state;
        Scheduler& scheduler;
        CaptureFactory capture;
        std::function<void(const QString& address)> loadIPData;
        std::function<void()> requestPermission;
        std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
        std::optional<QString> interface;  // the user's choice; none: all interfaces
        std::function<void()> streamEnded;  // the watchdog is about to reset the display
        ServiceSet services = allServices;  // whose packets count
    };

    explicit StreamMonitor(Dependencies dependencies, QObject* parent = nullptr);
    // Cancels the current run; a frame that arrives afterwards finds no monitor and is dropped.
    ~StreamMonitor() override;

    void startMonitoring();
    QString discoverInterface();
    void runEtherCapture();

    const QString& captureInterface() const { return captureInterface_; }
    // Which services' packets count from now on.
    void setServices(ServiceSet services) { services_ = services; }
    ServiceSet services() const { return services_; }
    const QString& lastServerAddress() const { return lastServerAddress_; }

    // The text between the first blank and the blank before the first ">", or none.
    static std::optional<QString> serverAddress(const QString& layer3Text);
    // The service a port's stream is of ("a meeting service's relay" for a port several share), and how
    // the sentence names the stream.
    static QString serviceName(std::uint16_t port, ServiceSet watched = allServices);
    static QString streamSubject(std::uint16_t port, ServiceSet watched = allServices);
    // Packets captured per run: enough to tell the busier of two streams apart.
    static constexpr std::int32_t packetsPerRun = 8;
    // What the window says when capture cannot start on `interface`.
    static QString failureText(const QString& interface, const CaptureFailure& failure);

private:
    // What capture callbacks reach the monitor through: the destructor clears it under the lock, so a
    // callback on a capture thread either finishes with a live monitor or finds none.
    struct Link {
        std::mutex mutex;
        StreamMonitor* monitor = nullptr;
    };

    struct Run {
        std::atomic<bool> packetSeen{false};
        std::shared_ptr<CaptureSession> currentCapture;
        bool handled = false;  // main thread: its first packet was handled
        bool reset = false;   // main thread: the watchdog has replaced this run
        bool failed = false;  // main thread: the capture could not start
    };

    void handleFrame(const std::shared_ptr<Run>& run, const ZuzizavAdiduDazorud::Frame& frame);
    void handleFrameOnMainThread(const std::shared_ptr<Run>& run, const QString& layer3Text, std::uint16_t port,
                                 const QDateTime& when);
    // Counts a packet of a server in the current window (opening one when none is).
    void tally(const QString& address, std::uint16_t port);
    // At a window's end, the busier server takes over if it is not the one shown.
    void closeWindow();
    // The server the display is about; looked up.
    void adopt(const QString& address, std::uint16_t port);
    void checkStream(const std::shared_ptr<Run>& run);
    void restart(const std::shared_ptr<Run>& run);

    Dependencies d_;
    std::shared_ptr<Link> link_ = std::make_shared<Link>();
    std::shared_ptr<Run> currentRun_;
    QString captureInterface_ = QStringLiteral("en0");
    QString lastServerAddress_;
    bool captureFailed_ = false;  // the display shows why capture cannot start
    struct Candidate {
        int packets = 0;
        std::uint16_t port = 0;
    };
    std::map<QString, Candidate> window_;  // packets per server in the current window
    QSet<QString> known_;                  // servers logged as candidates since the stream began
    bool windowOpen_ = false;
    std::atomic<ServiceSet> services_;  // read on capture threads
};

}  // namespace Tidemark
