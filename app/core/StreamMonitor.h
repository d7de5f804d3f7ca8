#pragma once

#include "CaptureBackend.h"
#include "DisplayState.h"
#include "MediaPath.h"
#include "MeetingServices.h"
#include "Scheduler.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

namespace Tidemark {

// Follows the meeting's media path from what the capture observes. The media server is the sender of
// media (RTP/RTCP, DTLS, TURN data, a service's own framing) from a service's ranges or ports; a server
// that only answers connectivity checks (STUN) never is. Datagrams of a framing Tidemark does not know,
// from a service's port and inside its ranges, make their sender a candidate below any media sender.
// Media from anyone else while a service's checks are seen is a peer-to-peer call: said so, and the
// participant's address is never looked up. Every media datagram is counted per server over 10-second
// windows; a busier server takes over only on a clear margin; a path silent for a whole window ends.
// Captures on "any" (every interface: cable, Wi-Fi, a VPN's tun device) unless told an interface. A
// capture that cannot start shows why in red and is tried again every 10 s; a denied one asks for
// permission. All its work runs on the main thread; only the capture callback runs elsewhere.
class StreamMonitor : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds windowLength{10'000};
    static constexpr std::chrono::milliseconds retryDelay{10'000};
    // How long a candidate of unknown framing waits for a media sender before it is taken.
    static constexpr std::chrono::milliseconds unknownFramingGrace{2'000};
    // How long a service's connectivity checks count as "seen".
    static constexpr std::chrono::seconds checksRemembered{60};
    // A busier server takes over when it sent this many percent of the shown one's datagrams, or more.
    static constexpr std::uint64_t switchMarginPercent = 125;
    static constexpr std::size_t maximumCandidates = 256;  // per window; more senders are not counted
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
        std::function<void()> streamEnded;  // the display is about to go back to waiting
        ServiceSet services = allServices;  // whose streams count
        std::function<void()> pathChanged;  // a new server was taken, or the call went peer to peer
    };

    enum class Path { waiting, server, peer };

    explicit StreamMonitor(Dependencies dependencies, QObject* parent = nullptr);
    // Cancels the capture; an observation that arrives afterwards finds no monitor and is dropped.
    ~StreamMonitor() override;

    void startMonitoring();
    QString discoverInterface();
    // (Re)starts the capture: at the start, by Try Again, after a grant, and when a capture has ended.
    void runEtherCapture();

    const QString& captureInterface() const { return captureInterface_; }
    // Which services' streams count from now on.
    void setServices(ServiceSet services) { services_ = services; }
    ServiceSet services() const { return services_; }
    // The media server shown; empty while waiting or peer to peer.
    const QString& lastServerAddress() const { return lastServerAddress_; }
    // The service of the server shown, or whose checks were seen in a peer-to-peer call; else empty.
    const QString& service() const { return service_; }
    Path path() const { return path_; }
    // Media datagrams counted since monitoring started.
    std::uint64_t mediaDatagrams() const { return mediaDatagrams_; }

    // The service a sender is of, by its ranges then its port ("a meeting service's relay" for a port
    // several share), and how the sentence names its stream.
    static QString serviceName(const NetAddress& address, std::uint16_t port, ServiceSet watched = allServices);
    static QString streamSubject(const NetAddress& address, std::uint16_t port, ServiceSet watched = allServices);
    // What the window says in a peer-to-peer call whose checks were `service`'s.
    static QString peerText(const QString& service);
    // What the window says when the server is on a private network.
    static QString privateServerText(const QString& subject, const QString& address);
    // What the window says when capture cannot start on `interface`.
    static QString failureText(const QString& interface, const CaptureFailure& failure);

private:
    // What capture callbacks reach the monitor through: the destructor clears it under the lock, so a
    // callback on a capture thread either finishes with a live monitor or finds none.
    struct Link {
        std::mutex mutex;
        StreamMonitor* monitor = nullptr;
    };
    struct Candidate {
        std::uint16_t port = 0;
        ServiceSet services = 0;
        std::uint64_t media = 0;    // media datagrams in the window
        std::uint64_t unknown = 0;  // datagrams of a framing not known, from a service's port and ranges
    };

    void observed(const Observation& observation);
    void noteChecks(ServiceSet services, const NetAddress& address, std::uint16_t port);
    bool checksSeen() const;
    Candidate* candidate(const Observation& observation, ServiceSet services);
    void logCandidate(const NetAddress& address, const Candidate& candidate, PayloadClass kind);
    void unknownFramingGraceOver();
    void closeWindow();
    // The sender of the most datagrams of one kind in the window; none when no one sent any.
    std::optional<NetAddress> busiest(std::uint64_t Candidate::*count) const;
    void adopt(const NetAddress& address, const QString& why);
    void enterPeerToPeer();
    void endStream();
    void scheduleWindow();

    Dependencies d_;
    std::shared_ptr<Link> link_ = std::make_shared<Link>();
    std::shared_ptr<CaptureSession> session_;
    QString captureInterface_ = QStringLiteral("en0");
    bool captureFailed_ = false;       // the display shows why capture cannot start
    bool awaitingPermission_ = false;  // the permission step has the capture
    unsigned retryGeneration_ = 0;     // of the scheduled retry of a failed capture
    bool windowScheduled_ = false;
    bool graceScheduled_ = false;

    Path path_ = Path::waiting;
    NetAddress shown_;
    bool shownUnknownFraming_ = false;  // the server shown was taken for datagrams of unknown framing
    QString lastServerAddress_;
    QString service_;
    std::map<NetAddress, Candidate> window_;
    std::uint64_t peerMedia_ = 0;  // in the window, while checks were seen
    std::map<std::size_t, QDateTime> checks_;  // by service: when its checks were last seen
    std::size_t lastChecked_ = 0;              // the service whose checks were seen last
    std::set<NetAddress> known_;               // senders logged as candidates since the stream began
    std::uint64_t mediaDatagrams_ = 0;
    std::atomic<ServiceSet> services_;
};

}  // namespace Tidemark
