#include "StreamMonitor.h"

#include <QCoreApplication>

namespace Tidemark {

using ZuzizavAdiduDazorud::Frame;

const QString StreamMonitor::resetLine = QStringLiteral("No more Zoom stream. Resetting.");
const QString StreamMonitor::retryLine = QStringLiteral("Trying the capture again.");
const QString StreamMonitor::allInterfaces = QStringLiteral("any");

StreamMonitor::StreamMonitor(Dependencies dependencies, QObject* parent)
    : QObject(parent), d_(std::move(dependencies)), services_(d_.services) {
    link_->monitor = this;
}

StreamMonitor::~StreamMonitor() {
    {
        std::lock_guard lock(link_->mutex);
        link_->monitor = nullptr;
    }
    if (currentRun_ && currentRun_->currentCapture) currentRun_->currentCapture->cancel();
}

void StreamMonitor::startMonitoring() {
    d_.state.setIsLoading(true);
    captureInterface_ = discoverInterface();
    runEtherCapture();
}

QString StreamMonitor::discoverInterface() {
    // The stream may come over any interface (a VPN's tun device, a policy-routed tunnel), so capture
    // on all of them unless told one.
    if (d_.interface && !d_.interface->isEmpty()) {
        d_.state.appendLog(QStringLiteral("Capturing on ") + *d_.interface + QStringLiteral(" as asked"));
        return *d_.interface;
    }
    return allInterfaces;
}

QString StreamMonitor::failureText(const QString& interface, const CaptureFailure& failure) {
    if (failure.kind() == CaptureFailure::Kind::noSuchDevice) {
        return QCoreApplication::translate("Tidemark",
                                           "Capture failed: there is no network interface named %1. Start Tidemark "
                                           "without --interface to capture on all of them.")
            .arg(interface);
    }
    return QCoreApplication::translate("Tidemark", "Capture failed on %1: %2")
        .arg(interface, QString::fromStdString(failure.what()));
}

std::optional<QString> StreamMonitor::serverAddress(const QString& text) {
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    const qsizetype arrow = text.indexOf(QLatin1Char('>'));
    if (blank < 0 || arrow < 0 || arrow - 2 <= blank) return std::nullopt;
    return text.mid(blank + 1, arrow - 2 - blank);
}

void StreamMonitor::runEtherCapture() {
    auto run = std::make_shared<Run>();
    currentRun_ = run;
    d_.state.appendLog(QStringLiteral("runEtherCapture()"));
    d_.scheduler.schedule(watchdogDelay, [this, run] { checkStream(run); });
    d_.state.setIsLoading(true);

    CaptureParameters parameters;
    parameters.interface = captureInterface_.toStdString();
    parameters.count = packetsPerRun;
    try {
        run->currentCapture =
            d_.capture(parameters, [link = link_, run](const Frame& frame) {
                std::lock_guard lock(link->mutex);
                if (link->monitor) link->monitor->handleFrame(run, frame);
            });
    } catch (const CaptureFailure& failure) {
        if (failure.openFailed()) {
            const QString message = QString::fromStdString(failure.what());
            d_.state.appendLog(message);
            if (failure.kind() == CaptureFailure::Kind::permissionDenied) {
                run->packetSeen = true;
                d_.state.appendLog(message);
                if (d_.requestPermission) d_.requestPermission();
                return;
            }
        } else {
            d_.state.appendLog(QStringLiteral("EtherCapture initialization failed with error ") +
                               QString::fromStdString(failure.what()));
        }
        // Shown until a capture starts: the watchdog tries again without putting back the waiting text.
        run->failed = true;
        captureFailed_ = true;
        d_.state.setMainText(failureText(captureInterface_, failure));
        d_.state.setStatusColor(StatusColor::red);
        d_.state.setRetryError(true);
        d_.state.setIsLoading(false);
        return;
    }
    if (captureFailed_) {
        captureFailed_ = false;
        d_.state.setMainText(d_.state.waiting());
        d_.state.setStatusColor(StatusColor::orange);
        d_.state.setRetryError(false);
    }
}

QString StreamMonitor::serviceName(std::uint16_t port, ServiceSet watched) {
    if (auto index = serviceOfPort(port, watched)) return QString::fromUtf8(meetingServices[*index].name);
    return QString::fromUtf8(relayName);
}

QString StreamMonitor::streamSubject(std::uint16_t port, ServiceSet watched) {
    const auto index = serviceOfPort(port, watched);
    const std::string subject(index ? meetingServices[*index].subject : relaySubject);
    return QCoreApplication::translate("Tidemark", subject.c_str());
}

void StreamMonitor::handleFrame(const std::shared_ptr<Run>& run, const Frame& frame) {
    // On the capture thread: note a packet of a watched service, hand the rest to the main thread.
    const ZuzizavAdiduDazorud::Layer4* layer4 = frame.layer4();
    const auto* udp = layer4 ? layer4->udp() : nullptr;
    const auto port = static_cast<std::uint16_t>(udp ? udp->sourcePort : 0);
    if (udp && servicesOfPort(port, services_) == 0) return;  // another service's, not watched
    run->packetSeen = true;
    QString text = QString::fromStdString(frame.layer3.description());
    QDateTime when = d_.now();
    d_.scheduler.post([this, run, text = std::move(text), port, when] { handleFrameOnMainThread(run, text, port, when); });
}

void StreamMonitor::handleFrameOnMainThread(const std::shared_ptr<Run>& run, const QString& layer3Text,
                                            std::uint16_t port, const QDateTime& when) {
    // A packet that slipped in after the watchdog replaced its run would start a second chain.
    if (run->reset) return;
    if (!run->handled) {
        // The run's first packet: the next run starts 5 s from now; later ones are only counted.
        run->handled = true;
        d_.state.appendLog(QStringLiteral("Just checked packets at ") +
                           when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000"));
        d_.scheduler.schedule(restartDelay, [this, run] { restart(run); });
    }
    auto address = serverAddress(layer3Text);
    if (!address || port == 0) return;
    tally(*address, port);
    if (lastServerAddress_.isEmpty()) {
        adopt(*address, port);
    } else if (*address == lastServerAddress_) {
        d_.state.setIsLoading(false);
    }
}

void StreamMonitor::tally(const QString& address, std::uint16_t port) {
    Candidate& candidate = window_[address];
    ++candidate.packets;
    candidate.port = port;
    if (!known_.contains(address)) {
        known_.insert(address);
        d_.state.appendLog(QStringLiteral("Candidate media server %1 (%2, port %3)")
                               .arg(address, serviceName(port, services_))
                               .arg(port));
    }
    if (!windowOpen_) {
        windowOpen_ = true;
        d_.scheduler.schedule(watchdogDelay, [this] { closeWindow(); });
    }
}

void StreamMonitor::closeWindow() {
    windowOpen_ = false;
    if (window_.empty()) return;
    auto busiest = window_.begin();
    for (auto it = window_.begin(); it != window_.end(); ++it) {
        if (it->second.packets > busiest->second.packets) busiest = it;
    }
    const auto current = window_.find(lastServerAddress_);
    const int currentPackets = current == window_.end() ? 0 : current->second.packets;
    // A server takes over only when it was the busier over a whole window: no flipping back and forth.
    if (busiest->first != lastServerAddress_ && busiest->second.packets > currentPackets) {
        d_.state.appendLog(QStringLiteral("Switching to the busier media server %1 (%2 packets against %3)")
                               .arg(busiest->first)
                               .arg(busiest->second.packets)
                               .arg(currentPackets));
        adopt(busiest->first, busiest->second.port);
    }
    window_.clear();
}

void StreamMonitor::adopt(const QString& address, std::uint16_t port) {
    lastServerAddress_ = address;
    d_.state.setStreamSubject(streamSubject(port, services_));
    if (d_.loadIPData) d_.loadIPData(address);
}

void StreamMonitor::restart(const std::shared_ptr<Run>& run) {
    if (run->currentCapture) run->currentCapture->cancel();
    runEtherCapture();
}

void StreamMonitor::checkStream(const std::shared_ptr<Run>& run) {
    if (run->packetSeen) return;
    run->reset = true;
    if (run->failed) {
        d_.state.appendLog(retryLine);
        runEtherCapture();
        return;
    }
    if (run->currentCapture) run->currentCapture->cancel();
    d_.state.appendLog(resetLine);
    if (d_.streamEnded) d_.streamEnded();  // while the display still shows what the stream gave
    d_.state.setMainText(d_.state.waiting());
    d_.state.setStatusColor(StatusColor::orange);
    d_.state.setTerritories({});
    // A stream that comes back from the same server must be looked up again.
    lastServerAddress_.clear();
    window_.clear();
    known_.clear();
    runEtherCapture();
}

}  // namespace Tidemark
