#include "StreamMonitor.h"

#include <QCoreApplication>

namespace Tidemark {

const QString StreamMonitor::resetLine = QStringLiteral("No more media stream. Resetting.");
const QString StreamMonitor::retryLine = QStringLiteral("Trying the capture again.");
const QString StreamMonitor::allInterfaces = QStringLiteral("any");

namespace {
constexpr std::size_t maximumKnown = 4096;

QString text(const NetAddress& address) { return QString::fromStdString(address.text()); }
}  // namespace

StreamMonitor::StreamMonitor(Dependencies dependencies, QObject* parent)
    : QObject(parent), d_(std::move(dependencies)), services_(d_.services) {
    link_->monitor = this;
}

StreamMonitor::~StreamMonitor() {
    {
        std::lock_guard lock(link_->mutex);
        link_->monitor = nullptr;
    }
    if (session_) session_->cancel();
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

QString StreamMonitor::peerText(const QString& service) {
    return QCoreApplication::translate("Tidemark",
                                       "This %1 meeting's media goes directly between the participants' computers (peer "
                                       "to peer), so no server of %1 carries it and there is no server's land to name. "
                                       "Tidemark never looks up another participant's address.")
        .arg(service);
}

QString StreamMonitor::privateServerText(const QString& subject, const QString& address) {
    return QCoreApplication::translate("Tidemark",
                                       "%1 to your computer is coming from %2, an address on a private network. "
                                       "Tidemark does not look up such addresses, so it cannot say whose land that "
                                       "server stands on.")
        .arg(subject, address);
}

void StreamMonitor::runEtherCapture() {
    if (session_) session_->cancel();
    session_.reset();
    awaitingPermission_ = false;
    ++retryGeneration_;
    d_.state.appendLog(QStringLiteral("Starting the capture on ") + captureInterface_);
    d_.state.setIsLoading(true);

    CaptureParameters parameters;
    parameters.interface = captureInterface_.toStdString();
    try {
        session_ = d_.capture(parameters, [link = link_](const Observation& observation) {
            std::lock_guard lock(link->mutex);
            if (StreamMonitor* monitor = link->monitor) {
                monitor->d_.scheduler.post([monitor, observation] { monitor->observed(observation); });
            }
        });
    } catch (const CaptureFailure& failure) {
        if (failure.openFailed()) {
            const QString message = QString::fromStdString(failure.what());
            d_.state.appendLog(message);
            if (failure.kind() == CaptureFailure::Kind::permissionDenied) {
                awaitingPermission_ = true;  // no retry until the permission step ends
                d_.state.appendLog(message);
                if (d_.requestPermission) d_.requestPermission();
                return;
            }
        } else {
            d_.state.appendLog(QStringLiteral("EtherCapture initialization failed with error ") +
                               QString::fromStdString(failure.what()));
        }
        // Shown until a capture starts: tried again without putting back the waiting text.
        captureFailed_ = true;
        d_.state.setMainText(failureText(captureInterface_, failure));
        d_.state.setStatusColor(StatusColor::red);
        d_.state.setRetryError(true);
        d_.state.setIsLoading(false);
        d_.scheduler.schedule(retryDelay, [this, generation = retryGeneration_] {
            if (generation != retryGeneration_) return;
            d_.state.appendLog(retryLine);
            runEtherCapture();
        });
        return;
    }
    if (captureFailed_) {
        captureFailed_ = false;
        d_.state.setMainText(d_.state.waiting());
        d_.state.setStatusColor(StatusColor::orange);
        d_.state.setRetryError(false);
    }
    scheduleWindow();
}

void StreamMonitor::scheduleWindow() {
    if (windowScheduled_) return;
    windowScheduled_ = true;
    d_.scheduler.schedule(windowLength, [this] {
        windowScheduled_ = false;
        closeWindow();
    });
}

QString StreamMonitor::serviceName(const NetAddress& address, std::uint16_t port, ServiceSet watched) {
    if (auto index = onlyService(servicesOf(address, port) & watched)) return QString::fromUtf8(meetingServices[*index].name);
    return QString::fromUtf8(relayName);
}

QString StreamMonitor::streamSubject(const NetAddress& address, std::uint16_t port, ServiceSet watched) {
    const auto index = onlyService(servicesOf(address, port) & watched);
    const std::string subject(index ? meetingServices[*index].subject : relaySubject);
    return QCoreApplication::translate("Tidemark", subject.c_str());
}

void StreamMonitor::observed(const Observation& o) {
    const ServiceSet all = servicesOf(o.remote, o.remotePort);
    const ServiceSet mine = all & services_;
    if (all != 0 && mine == 0) return;  // a service not watched
    if (o.direction == Direction::outbound || o.kind == PayloadClass::stun) {
        if (mine != 0) noteChecks(mine, o.remote, o.remotePort);
        return;
    }
    if (isMedia(o.kind)) {
        mediaDatagrams_ += o.count;
        if (mine == 0) {
            // From no service's ranges or ports: another participant, when a meeting's checks are in sight.
            if (!checksSeen()) return;  // a game, a phone app: nothing to do with a meeting
            peerMedia_ += o.count;
            if (path_ == Path::waiting) enterPeerToPeer();
            return;
        }
        Candidate* c = candidate(o, mine);
        if (!c) return;
        c->media += o.count;
        if (path_ != Path::server || (shownUnknownFraming_ && o.remote != shown_)) {
            // The first media sender, or one that outranks a sender of unknown framing: at once.
            adopt(o.remote, QStringLiteral("its media"));
        } else if (o.remote == shown_) {
            shownUnknownFraming_ = false;
            d_.state.setIsLoading(false);
        }
        return;
    }
    // Unknown framing: only from a service's port and inside that same service's ranges.
    const ServiceSet both = servicesOfAddress(o.remote) & servicesOfPort(o.remotePort) & services_;
    if (both == 0) return;
    Candidate* c = candidate(o, both);
    if (!c) return;
    c->unknown += o.count;
    if (path_ == Path::waiting && !graceScheduled_) {
        graceScheduled_ = true;
        d_.scheduler.schedule(unknownFramingGrace, [this] { unknownFramingGraceOver(); });
    }
}

StreamMonitor::Candidate* StreamMonitor::candidate(const Observation& o, ServiceSet services) {
    auto it = window_.find(o.remote);
    if (it == window_.end()) {
        if (window_.size() >= maximumCandidates) return nullptr;
        it = window_.emplace(o.remote, Candidate{}).first;
    }
    it->second.port = o.remotePort;
    it->second.services = services;
    if (known_.size() < maximumKnown && known_.insert(o.remote).second) logCandidate(o.remote, it->second, o.kind);
    return &it->second;
}

void StreamMonitor::logCandidate(const NetAddress& address, const Candidate& c, PayloadClass kind) {
    const bool byRanges = servicesOfAddress(address) != 0;
    d_.state.appendLog(QStringLiteral("Candidate media server %1 (%2%3, port %4, %5)")
                           .arg(text(address), serviceName(address, c.port, services_),
                                byRanges ? QStringLiteral(" by its published ranges") : QString())
                           .arg(c.port)
                           .arg(kind == PayloadClass::other ? QStringLiteral("framing not known")
                                                            : QString::fromUtf8(toString(kind).data(),
                                                                                qsizetype(toString(kind).size()))));
}

void StreamMonitor::noteChecks(ServiceSet services, const NetAddress& address, std::uint16_t port) {
    const QDateTime now = d_.now();
    for (std::size_t i = 0; i < meetingServiceCount; ++i) {
        if (!(services & (ServiceSet{1} << i))) continue;
        const auto it = checks_.find(i);
        if (it == checks_.end() || it->second.secsTo(now) > checksRemembered.count()) {
            d_.state.appendLog(QStringLiteral("Connectivity checks with %1 seen (%2, port %3)")
                                   .arg(QString::fromUtf8(meetingServices[i].name), text(address))
                                   .arg(port));
        }
        checks_[i] = now;
        lastChecked_ = i;
    }
}

bool StreamMonitor::checksSeen() const {
    const QDateTime now = d_.now();
    for (const auto& [service, seen] : checks_) {
        if ((services_ & (ServiceSet{1} << service)) && seen.secsTo(now) <= checksRemembered.count()) return true;
    }
    return false;
}

void StreamMonitor::unknownFramingGraceOver() {
    graceScheduled_ = false;
    if (path_ != Path::waiting) return;
    if (auto sender = busiest(&Candidate::unknown)) adopt(*sender, QStringLiteral("no media sender in sight"));
}

std::optional<NetAddress> StreamMonitor::busiest(std::uint64_t Candidate::*count) const {
    std::optional<NetAddress> best;
    std::uint64_t most = 0;
    for (const auto& [address, c] : window_) {
        if (c.*count > most) {
            most = c.*count;
            best = address;
        }
    }
    return best;
}

void StreamMonitor::closeWindow() {
    if (session_ && !session_->running() && !captureFailed_ && !awaitingPermission_) {
        d_.state.appendLog(QStringLiteral("The capture ended; starting it again"));
        runEtherCapture();
    }
    const auto media = busiest(&Candidate::media);
    const auto unknown = busiest(&Candidate::unknown);
    const auto counts = [this](const NetAddress& a) {
        const auto it = window_.find(a);
        return it == window_.end() ? std::pair<std::uint64_t, std::uint64_t>{0, 0}
                                   : std::pair{it->second.media, it->second.unknown};
    };
    switch (path_) {
        case Path::server: {
            const auto [shownMedia, shownUnknown] = counts(shown_);
            const auto challenger = media ? media : (shownMedia == 0 ? unknown : std::nullopt);
            const std::uint64_t shownCount = media ? shownMedia : shownUnknown;
            const std::uint64_t challengerCount =
                challenger ? (media ? counts(*challenger).first : counts(*challenger).second) : 0;
            if (challenger && *challenger != shown_ && challengerCount * 100 >= shownCount * switchMarginPercent &&
                challengerCount > shownCount) {
                adopt(*challenger, QStringLiteral("%1 datagrams against %2 from %3 in the last %4 s")
                                       .arg(challengerCount)
                                       .arg(shownCount)
                                       .arg(lastServerAddress_)
                                       .arg(std::chrono::duration_cast<std::chrono::seconds>(windowLength).count()));
            } else if (shownMedia == 0 && shownUnknown == 0) {
                if (peerMedia_ > 0) {
                    enterPeerToPeer();
                } else {
                    endStream();
                }
            }
            break;
        }
        case Path::peer:
            if (media) {
                adopt(*media, QStringLiteral("its media"));
            } else if (peerMedia_ == 0) {
                endStream();
            }
            break;
        case Path::waiting:
            if (media) {
                adopt(*media, QStringLiteral("its media"));
            } else if (unknown) {
                adopt(*unknown, QStringLiteral("no media sender in sight"));
            }
            break;
    }
    window_.clear();
    peerMedia_ = 0;
    if (session_ || captureFailed_) scheduleWindow();
}

void StreamMonitor::adopt(const NetAddress& address, const QString& why) {
    const QString shown = text(address);
    const auto sender = window_.find(address);
    const std::uint16_t port = sender == window_.end() ? 0 : sender->second.port;
    shownUnknownFraming_ = sender != window_.end() && sender->second.media == 0;
    if (path_ == Path::server && shown_ != address) {
        d_.state.appendLog(QStringLiteral("Switching to media server %1 (%2)").arg(shown, why));
    } else {
        d_.state.appendLog(QStringLiteral("Media server %1 (%2)").arg(shown, why));
    }
    path_ = Path::server;
    shown_ = address;
    lastServerAddress_ = shown;
    service_ = serviceName(address, port, services_);
    const QString subject = streamSubject(address, port, services_);
    d_.state.setStreamSubject(subject);
    if (d_.pathChanged) d_.pathChanged();
    if (!address.isPublic()) {
        // A server on a private network: its address says nothing of a place, and may be a person's.
        d_.state.appendLog(QStringLiteral("%1 is on a private network: not looked up").arg(shown));
        d_.state.setTerritories({});
        d_.state.setMainText(privateServerText(subject, shown));
        d_.state.setStatusColor(StatusColor::purple);
        d_.state.setIsLoading(false);
        return;
    }
    if (d_.loadIPData) d_.loadIPData(shown);
}

void StreamMonitor::enterPeerToPeer() {
    const QString service = QString::fromUtf8(meetingServices[lastChecked_].name);
    d_.state.appendLog(QStringLiteral("Media arrives directly from another participant while %1's connectivity checks "
                                      "are seen: peer to peer (the participant's address is not kept or sent)")
                           .arg(service));
    path_ = Path::peer;
    service_ = service;
    shown_ = NetAddress{};
    shownUnknownFraming_ = false;
    lastServerAddress_.clear();
    if (d_.pathChanged) d_.pathChanged();
    d_.state.setTerritories({});
    d_.state.setMainText(peerText(service));
    d_.state.setStatusColor(StatusColor::purple);
    d_.state.setIsLoading(false);
}

void StreamMonitor::endStream() {
    d_.state.appendLog(resetLine);
    if (d_.streamEnded) d_.streamEnded();  // while the display still shows what the stream gave
    path_ = Path::waiting;
    shown_ = NetAddress{};
    service_.clear();
    lastServerAddress_.clear();  // a stream that comes back from the same server is looked up again
    known_.clear();
    d_.state.setMainText(d_.state.waiting());
    d_.state.setStatusColor(StatusColor::orange);
    d_.state.setTerritories({});
}

}  // namespace Tidemark
