#include "StreamMonitor.h"

#include <ZuzizavAdiduDazorud/EtherCaptureError.h>
#include "StandardOutput.h"

namespace Tidemark {

using ZuzizavAdiduDazorud::EtherCaptureError;
using ZuzizavAdiduDazorud::Frame;

const QString StreamMonitor::resetLine = QStringLiteral("No more Zoom stream. Resetting.");

StreamMonitor::StreamMonitor(Dependencies dependencies, QObject* parent)
    : QObject(parent), d_(std::move(dependencies)) {
    if (!d_.printLine) d_.printLine = printStandardOutputLine;
}

void StreamMonitor::startMonitoring() {
    d_.state.setIsLoading(true);
    captureInterface_ = discoverInterface();
    runEtherCapture();
}

QString StreamMonitor::discoverInterface() {
    d_.state.appendLog(QStringLiteral("Running permission script"));
    InterfaceProbe probe = d_.probeInterface();
    if (probe.error) {
        d_.state.appendLog(QStringLiteral("Error: ") + QString::fromStdString(*probe.error));
    } else {
        d_.state.appendLog(QStringLiteral("No error on AS"));
    }
    if (!probe.name || probe.name->empty()) return QStringLiteral("en0");
    return QString::fromStdString(*probe.name);
}

bool StreamMonitor::isPermissionDenied(const std::string& message) {
    return message.find("Permission denied") != std::string::npos ||
           message.find("You don't have permission") != std::string::npos ||
           message.find("Operation not permitted") != std::string::npos;
}

std::optional<QString> StreamMonitor::serverAddress(const QString& text) {
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    const qsizetype arrow = text.indexOf(QLatin1Char('>'));
    if (blank < 0 || arrow < 0 || arrow - 2 <= blank) return std::nullopt;
    return text.mid(blank + 1, arrow - 2 - blank);
}

void StreamMonitor::runEtherCapture() {
    if (rediscover_) {
        // The device went away (a laptop that moved from cable to Wi-Fi): look again.
        rediscover_ = false;
        captureInterface_ = discoverInterface();
    }
    auto run = std::make_shared<Run>();
    d_.state.appendLog(QStringLiteral("runEtherCapture()"));
    d_.scheduler.schedule(watchdogDelay, [this, run] { checkStream(run); });
    d_.state.setIsLoading(true);

    CaptureParameters parameters;
    parameters.interface = captureInterface_.toStdString();
    try {
        run->currentCapture =
            d_.capture(parameters, [this, run](const Frame& frame) { handleFrame(run, frame); });
    } catch (const EtherCaptureError& error) {
        if (error.errorCase() == EtherCaptureError::Case::pcap_open_live_failed) {
            const QString message = QString::fromStdString(error.message());
            d_.state.appendLog(message);
            if (isPermissionDenied(error.message())) {
                run->packetSeen = true;
                d_.state.appendLog(message);
                if (d_.requestPermission) d_.requestPermission();
            } else if (error.message().find("No such device") != std::string::npos) {
                rediscover_ = true;
            }
            return;
        }
        d_.printLine("EtherCapture initialization failed with error " + error.description());
        d_.state.setStatusColor(StatusColor::red);
        d_.state.setIsLoading(false);
    }
}

void StreamMonitor::handleFrame(const std::shared_ptr<Run>& run, const Frame& frame) {
    // On the capture thread: note the packet, hand the rest to the main thread.
    run->packetSeen = true;
    QString text = QString::fromStdString(frame.layer3.description());
    QDateTime when = d_.now();
    d_.scheduler.post([this, run, text = std::move(text), when] { handleFrameOnMainThread(run, text, when); });
}

void StreamMonitor::handleFrameOnMainThread(const std::shared_ptr<Run>& run, const QString& layer3Text,
                                            const QDateTime& when) {
    // A packet that slipped in after the watchdog replaced its run would start a second chain.
    if (run->reset) return;
    d_.state.appendLog(QStringLiteral("Just checked packets at ") +
                       when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000"));
    if (auto address = serverAddress(layer3Text)) {
        if (*address == lastServerAddress_) {
            d_.state.setIsLoading(false);
        } else {
            lastServerAddress_ = *address;
            if (d_.loadIPData) d_.loadIPData(*address);
        }
    }
    d_.scheduler.schedule(restartDelay, [this, run] { restart(run); });
}

void StreamMonitor::restart(const std::shared_ptr<Run>& run) {
    if (run->currentCapture) run->currentCapture->cancel();
    runEtherCapture();
}

void StreamMonitor::checkStream(const std::shared_ptr<Run>& run) {
    if (run->packetSeen) return;
    run->reset = true;
    if (run->currentCapture) run->currentCapture->cancel();
    d_.state.appendLog(resetLine);
    d_.state.setMainText(DisplayState::waitingText);
    d_.state.setStatusColor(StatusColor::orange);
    d_.state.setTerritories({});
    // A stream that comes back from the same server must be looked up again.
    lastServerAddress_.clear();
    runEtherCapture();
}

}  // namespace Tidemark
