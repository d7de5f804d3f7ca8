#pragma once

#include "CaptureBackend.h"
#include "DisplayState.h"
#include "Scheduler.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <ZuzizavAdiduDazorud/EtherCaptureError.h>

#include <atomic>
#include <chrono>
#include <functional>
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
        std::function<InterfaceProbe()> probeInterface = probeCaptureInterface;
        std::function<void(const QString& address)> loadIPData;
        std::function<void()> requestPermission;
        std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
        std::optional<QString> interface;  // the user's choice; none: all interfaces
        std::function<void()> streamEnded;  // the watchdog is about to reset the display
    };

    explicit StreamMonitor(Dependencies dependencies, QObject* parent = nullptr);
    // Cancels the current run; a frame that arrives afterwards finds no monitor and is dropped.
    ~StreamMonitor() override;

    void startMonitoring();
    QString discoverInterface();
    void runEtherCapture();

    const QString& captureInterface() const { return captureInterface_; }
    const QString& lastServerAddress() const { return lastServerAddress_; }

    // The text between the first blank and the blank before the first ">", or none.
    static std::optional<QString> serverAddress(const QString& layer3Text);
    // What the window says when capture cannot start on `interface`.
    static QString failureText(const QString& interface, const ZuzizavAdiduDazorud::EtherCaptureError& error);

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
        bool reset = false;   // main thread: the watchdog has replaced this run
        bool failed = false;  // main thread: the capture could not start
    };

    void handleFrame(const std::shared_ptr<Run>& run, const ZuzizavAdiduDazorud::Frame& frame);
    void handleFrameOnMainThread(const std::shared_ptr<Run>& run, const QString& layer3Text, const QDateTime& when);
    void checkStream(const std::shared_ptr<Run>& run);
    void restart(const std::shared_ptr<Run>& run);

    Dependencies d_;
    std::shared_ptr<Link> link_ = std::make_shared<Link>();
    std::shared_ptr<Run> currentRun_;
    QString captureInterface_ = QStringLiteral("en0");
    QString lastServerAddress_;
    bool captureFailed_ = false;  // the display shows why capture cannot start
};

}  // namespace Tidemark
