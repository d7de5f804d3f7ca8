#pragma once

#include "CaptureBackend.h"
#include "DisplayState.h"
#include "Scheduler.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace Tidemark {

// Drives capture one packet per run: a new server address starts the lookups, a run
// without a packet for 10 s resets the display, a denied capture asks for permission.
// All its work runs on the main thread; only the capture callback runs elsewhere.
class StreamMonitor : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds watchdogDelay{10'000};
    static constexpr std::chrono::milliseconds restartDelay{5'000};
    static const QString resetLine;

    struct Dependencies {
        DisplayState& state;
        Scheduler& scheduler;
        CaptureFactory capture;
        std::function<InterfaceProbe()> probeInterface = probeCaptureInterface;
        std::function<void(const QString& address)> loadIPData;
        std::function<void()> requestPermission;
        std::function<void(const std::string& line)> printLine;  // standard output
        std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
    };

    explicit StreamMonitor(Dependencies dependencies, QObject* parent = nullptr);

    void startMonitoring();
    QString discoverInterface();
    void runEtherCapture();

    const QString& captureInterface() const { return captureInterface_; }
    const QString& lastServerAddress() const { return lastServerAddress_; }

    // The text between the first blank and the blank before the first ">", or none.
    static std::optional<QString> serverAddress(const QString& layer3Text);
    // A capture refused for lack of rights, in libpcap's words on macOS or on Linux.
    static bool isPermissionDenied(const std::string& message);

private:
    struct Run {
        std::atomic<bool> packetSeen{false};
        std::shared_ptr<CaptureSession> currentCapture;
        bool reset = false;  // main thread: the watchdog has replaced this run
    };

    void handleFrame(const std::shared_ptr<Run>& run, const ZuzizavAdiduDazorud::Frame& frame);
    void handleFrameOnMainThread(const std::shared_ptr<Run>& run, const QString& layer3Text, const QDateTime& when);
    void checkStream(const std::shared_ptr<Run>& run);
    void restart(const std::shared_ptr<Run>& run);

    Dependencies d_;
    QString captureInterface_ = QStringLiteral("en0");
    QString lastServerAddress_;
    bool rediscover_ = false;
};

}  // namespace Tidemark
