#include "CaptureRefusal.h"
#include "AppCore.h"
#include "StreamMonitor.h"

#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include "FakeCapture.h"
#include "FakeServices.h"
#include "Lookups.h"
#include "ManualScheduler.h"

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace Tidemark;
using namespace std::chrono_literals;
using ZuzizavAdiduDazorud::Frame;

namespace {

struct Harness {
    explicit Harness(std::optional<QString> interface = std::nullopt)
        : monitor(StreamMonitor::Dependencies{
              state, scheduler, capture.factory(),
              [this](const QString& address) { lookups.push_back(address); },
              [this] { ++permissionRequests; },
              [this] { return QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9), Qt::UTC).addMSecs(scheduler.elapsed().count()); },
              interface, {}, allServices, {}}) {}

    QStringList log() const { return state.statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    qsizetype count(const QString& line) const { return log().count(line); }
    void deliver(const std::vector<Observation>& observations) {
        capture.deliver(observations);
        scheduler.runPosted();
    }

    DisplayState state{std::nullopt};
    ManualScheduler scheduler;
    FakeCapture capture;
    std::vector<QString> lookups;
    int permissionRequests = 0;
    StreamMonitor monitor;
};

}  // namespace

TEST(StreamMonitor, CaptureParametersAndDiscovery) {
    Harness h;
    h.monitor.startMonitoring();
    ASSERT_EQ(h.capture.parameters.size(), 1u);
    const CaptureParameters& p = h.capture.parameters[0];
    EXPECT_EQ(p.interface, "any");  // whatever interface carries the stream, a VPN's included
    EXPECT_EQ(p.command, captureFilter);
    EXPECT_EQ(p.snaplen, 128);
    EXPECT_FALSE(p.promiscuous);
    EXPECT_EQ(h.log(), (QStringList{"Tidemark started", "Starting the capture on any"}));
    EXPECT_TRUE(h.state.isLoading());
    // One capture all along: with no traffic, nothing more happens.
    h.scheduler.advance(60s);
    EXPECT_EQ(h.capture.parameters.size(), 1u);
    EXPECT_EQ(h.log().size(), 2);

    Harness chosen(QStringLiteral("tun0"));
    chosen.monitor.startMonitoring();
    EXPECT_EQ(chosen.capture.parameters[0].interface, "tun0");
    EXPECT_TRUE(chosen.log().contains("Capturing on tun0 as asked"));
}

TEST(StreamMonitor, AStreamThatStopsResetsTheDisplayAndIsLookedUpAgainWhenItReturns) {
    Harness h;
    h.monitor.startMonitoring();
    h.deliver({datagrams("192.0.2.7", 8801)});
    ASSERT_EQ(h.lookups, std::vector<QString>{"192.0.2.7"});
    EXPECT_EQ(h.monitor.path(), StreamMonitor::Path::server);
    h.state.setTerritories({Territory{"1", {"n", "d"}, "t"}});
    // Datagrams every few seconds keep it; a silent window ends it.
    for (int i = 0; i < 6; ++i) {
        h.deliver({datagrams("192.0.2.7", 8801, 40)});
        h.scheduler.advance(5s);
    }
    EXPECT_EQ(h.count(StreamMonitor::resetLine), 0);
    EXPECT_EQ(h.lookups.size(), 1u);
    h.scheduler.advance(20s);
    EXPECT_EQ(h.count(StreamMonitor::resetLine), 1);
    EXPECT_EQ(h.state.mainText(), DisplayState::waitingText());
    EXPECT_EQ(h.state.statusColor(), StatusColor::orange);
    EXPECT_TRUE(h.state.territories().empty());
    EXPECT_EQ(h.capture.sessions.size(), 1u);
    h.deliver({datagrams("192.0.2.7", 8801)});
    EXPECT_EQ(h.lookups, (std::vector<QString>{"192.0.2.7", "192.0.2.7"}));
}

TEST(StreamMonitor, AnEndedCaptureIsStartedAgain) {
    Harness h;
    h.monitor.startMonitoring();
    h.capture.sessions[0]->ended = true;  // the helper died
    h.scheduler.advance(10s);
    ASSERT_EQ(h.capture.sessions.size(), 2u);
    EXPECT_EQ(h.count(QStringLiteral("The capture ended; starting it again")), 1);
    h.scheduler.advance(30s);
    EXPECT_EQ(h.capture.sessions.size(), 2u);
}

TEST(StreamMonitor, PermissionDeniedHandsOverWithoutReset) {
    const std::string linuxText =
        "You don't have permission to perform this capture on that device (socket: Operation not permitted)";
    for (const std::string& message : {linuxText, std::string("(cannot open BPF device) /dev/bpf0: Permission denied")}) {
        Harness h;
        h.capture.failFor = [&](int run) {
            if (run == 0) throw CaptureFailure(CaptureFailure::Kind::permissionDenied, message);
        };
        h.monitor.startMonitoring();
        EXPECT_EQ(h.count(QString::fromStdString(message)), 2);
        EXPECT_EQ(h.permissionRequests, 1);
        h.scheduler.advance(60s);
        EXPECT_EQ(h.count(StreamMonitor::retryLine), 0);
        EXPECT_EQ(h.capture.parameters.size(), 1u);
    }
}

TEST(StreamMonitor, AnUnknownInterfaceStaysRedWithItsReason) {
    // The user named an interface that is not there (yet: a VPN's tun device appears when it connects).
    Harness h(QStringLiteral("tun9"));
    h.capture.failFor = [](int run) {
        if (run < 3) {
            throw CaptureFailure(CaptureFailure::Kind::noSuchDevice,
                                 "tun9: No such device exists (SIOCGIFHWADDR: No such device)");
        }
    };
    std::vector<StatusColor> colors;
    QObject::connect(&h.state, &DisplayState::changed, [&] {
        if (colors.empty() || colors.back() != h.state.statusColor()) colors.push_back(h.state.statusColor());
    });
    h.monitor.startMonitoring();
    const QString text = QStringLiteral("Capture failed: there is no network interface named tun9. Start Tidemark "
                                        "without --interface to capture on all of them.");
    EXPECT_EQ(h.state.mainText(), text);
    EXPECT_EQ(h.state.statusColor(), StatusColor::red);
    EXPECT_TRUE(h.state.retryError());
    EXPECT_EQ(h.count("tun9: No such device exists (SIOCGIFHWADDR: No such device)"), 1);
    EXPECT_EQ(h.permissionRequests, 0);
    // Tried again every 10 s, red all along: no flip to orange and back.
    h.scheduler.advance(20s);
    EXPECT_EQ(h.capture.parameters.size(), 3u);
    EXPECT_EQ(h.count(StreamMonitor::retryLine), 2);
    EXPECT_EQ(h.count(StreamMonitor::resetLine), 0);
    EXPECT_EQ(h.state.mainText(), text);
    EXPECT_EQ(colors, (std::vector<StatusColor>{StatusColor::orange, StatusColor::red}));
    // Once the interface is there, the capture starts and the window waits for the stream again.
    h.scheduler.advance(10s);
    EXPECT_EQ(h.capture.parameters.size(), 4u);
    EXPECT_EQ(h.state.mainText(), DisplayState::waitingText());
    EXPECT_EQ(h.state.statusColor(), StatusColor::orange);
    EXPECT_FALSE(h.state.retryError());
}

TEST(StreamMonitor, OtherConstructionFailuresShowTheirReason) {
    Harness h;
    h.capture.failFor = [](int run) {
        if (run == 0) throw CaptureFailure(CaptureFailure::Kind::other, "pcap max captures exceeded");
        if (run == 1) throw CaptureFailure(CaptureFailure::Kind::openFailed, "any: That device is not up");
    };
    h.monitor.startMonitoring();
    EXPECT_EQ(h.count("EtherCapture initialization failed with error pcap max captures exceeded"), 1);
    EXPECT_EQ(h.state.mainText(), QStringLiteral("Capture failed on any: pcap max captures exceeded"));
    EXPECT_EQ(h.state.statusColor(), StatusColor::red);
    EXPECT_FALSE(h.state.isLoading());
    h.scheduler.advance(10s);
    EXPECT_EQ(h.state.mainText(), QStringLiteral("Capture failed on any: any: That device is not up"));
    EXPECT_EQ(h.state.statusColor(), StatusColor::red);
    h.scheduler.advance(10s);
    EXPECT_EQ(h.state.statusColor(), StatusColor::orange);
    EXPECT_EQ(h.count(StreamMonitor::resetLine), 0);
}

TEST(StreamMonitor, PermissionDeniedTexts) {
    EXPECT_TRUE(isPermissionDenied(
        "You don't have permission to perform this capture on that device (socket: Operation not permitted)"));
    EXPECT_TRUE(isPermissionDenied("/dev/bpf0: Permission denied"));
    EXPECT_FALSE(isPermissionDenied("eth9: No such device exists"));
    EXPECT_FALSE(isPermissionDenied("permission denied"));  // case matters, as libpcap writes it
}

TEST(StreamMonitor, FirstMediaFromANewServerRunsBothLookups) {
    FakeServices services;
    services.setIpAnswer({200, R"({"ip":"192.0.2.7","city":"Montreal","region":"Quebec","country":"CA",)"
                               R"("loc":"45.5088,-73.5878","org":"AS64500 Example"})"});
    services.setTerritoryAnswer({200, R"([{"id":"t1","type":"Feature","properties":{"name":"N","description":"https://t/"}}])"});
    DisplayState state(std::nullopt);
    ManualScheduler scheduler;
    FakeCapture capture;
    WebClient client(10s);
    LookupContext context{.state = state, .client = client, .keys = [] { return ServiceKeys{"k", {}}; }, .finished = {}};
    TerritoryLookup territory(context, services.territoryBase());
    LocationLookup location(context, territory, services.ipBase(), QStringLiteral("token"));
    StreamMonitor monitor({state, scheduler, capture.factory(),
                           [&](const QString& address) { location.loadIPData(address); }, [] {},
                           [] { return QDateTime::currentDateTimeUtc(); }, std::nullopt, {}, allServices, {}});
    monitor.startMonitoring();
    capture.deliver({datagrams("192.0.2.7", 8801)});
    scheduler.runPosted();
    ASSERT_TRUE(QTest::qWaitFor([&] { return state.statusColor() == StatusColor::green; }, 10000));

    const QStringList log = state.statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1);
    EXPECT_EQ(log, (QStringList{"Starting the capture on any", "Candidate media server 192.0.2.7 (Zoom, port 8801, RTP)",
                                "Media server 192.0.2.7 (its media)", "Loading IP data for 192.0.2.7",
                                "Loading territory data for 45.5088,-73.5878"}));
}

TEST(StreamMonitor, ACaptureCallbackCannotOutliveTheMonitor) {
    // A packet that arrives while the program shuts down finds no monitor, and touches nothing freed.
    ObservationCallback kept;
    auto session = std::make_shared<FakeSession>();
    DisplayState state(std::nullopt);
    ManualScheduler scheduler;
    {
        StreamMonitor monitor({state, scheduler,
                               [&](const CaptureParameters&, ObservationCallback callback) -> std::shared_ptr<CaptureSession> {
                                   kept = std::move(callback);
                                   return session;
                               },
                               [](const QString&) {}, [] {},
                               [] { return QDateTime::currentDateTimeUtc(); }, std::nullopt, {}, allServices, {}});
        monitor.startMonitoring();
    }
    EXPECT_EQ(session->cancels, 1);  // the destructor ended the current run
    ASSERT_TRUE(kept);
    std::thread late([&] { kept(datagrams("192.0.2.7", 8801)); });
    late.join();
    EXPECT_EQ(scheduler.pendingPosts(), 0u);
}

namespace {
struct NoPrompt final : PermissionPrompt {
    bool askToGrant(const QString&) override { return false; }
};
struct NoRunner final : PrivilegedRunner {
    void run(const QString&, std::function<void(PrivilegedOutcome)>) override {}
};
// A core that asks the fake services, hears the fake capture, keeps time by the manual scheduler, and has a
// territory key.
AppCoreOptions coreOptions(const FakeServices& services, FakeCapture& capture, ManualScheduler& scheduler) {
    AppCoreOptions options;
    options.ipInfoBaseAddress = services.ipBase();
    options.territoryBaseAddress = services.territoryBase();
    options.capture = capture.factory();
    options.scheduler = &scheduler;
    options.fixedTerritoryKey = QStringLiteral("k");
    return options;
}
}  // namespace

TEST(Recovery, AFailedLookupIsTriedAgainWhileTheStreamGoesOn) {
    // The territory service fails with 500, then comes back: the answer turns green with no one pressing
    // Try Again, on the back-off's schedule, while packets from the server keep coming.
    FakeServices services;
    services.setIpAnswer({200, R"({"ip":"192.0.2.7","city":"Montreal","region":"Quebec","country":"CA",)"
                               R"("loc":"45.5088,-73.5878","org":"AS64500"})"});
    services.setTerritoryAnswer({500, "<h1>Internal Server Error</h1>", "text/html"});
    ManualScheduler scheduler;
    FakeCapture capture;
    NoPrompt prompt;
    NoRunner runner;
    AppCoreOptions options = coreOptions(services, capture, scheduler);
    AppCore core(InfoDictionary{}, prompt, runner, options);
    DisplayState& state = core.state();
    auto settle = [&](StatusColor color) {
        return QTest::qWaitFor([&] { return state.statusColor() == color; }, 10000);
    };

    // The server sends all along.
    auto advance = [&](std::chrono::seconds duration) {
        for (auto left = duration; left > 0s; left -= 5s) {
            capture.deliver({datagrams("192.0.2.7", 8801, 50)});
            scheduler.advance(std::min<std::chrono::seconds>(left, 5s));
        }
    };
    core.monitor().startMonitoring();
    capture.deliver({datagrams("192.0.2.7", 8801)});
    scheduler.runPosted();
    ASSERT_TRUE(settle(StatusColor::red));
    EXPECT_EQ(state.mainText(),
              QStringLiteral("There was an error fetching territory data: the service answered with status 500."));
    const QStringList log = state.statusText().split('\n');
    EXPECT_TRUE(log.contains(QStringLiteral("The service answered status 500")));
    EXPECT_TRUE(state.retryError());  // Try Again is offered
    EXPECT_EQ(services.requests().size(), 2u);

    // Still failing at the first retry (10 s); back at the second (30 s later): green, no action taken.
    advance(10s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return services.requests().size() == 4; }, 10000));
    ASSERT_TRUE(settle(StatusColor::red));
    services.setTerritoryAnswer({200, R"([{"id":"w","type":"F","properties":{"name":"Wendat","description":"https://t/w"}}])"});
    advance(29s);
    EXPECT_EQ(services.requests().size(), 4u);  // not before its time
    advance(1s);
    ASSERT_TRUE(settle(StatusColor::green));
    EXPECT_FALSE(state.retryError());
    EXPECT_EQ(state.territories().size(), 1u);
}

TEST(Recovery, ALateAnswerForAServerNoLongerShownChangesNothing) {
    // The stream moves from a slow server to a busier one; the first server's answer (or failure) comes
    // after the second's: nothing on screen changes, no territory request goes out for its position, and
    // the history keeps only what was shown.
    struct Case {
        const char* name;
        Answer late;
    };
    const Case cases[] = {
        {"a late answer", {200, R"({"ip":"198.51.100.1","city":"Old Town","region":"R","country":"XX","loc":"10,10","org":"O"})",
                           "application/json", 1500ms}},
        {"a late failure", {500, "down", "text/plain", 1500ms}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServices services;
        services.setIpAnswer(c.late);
        services.setTerritoryAnswer({200, R"([{"id":"w","type":"F","properties":{"name":"Wendat","description":"https://t/w"}}])"});
        QTemporaryDir dir;
        ManualScheduler scheduler;
        FakeCapture capture;
        NoPrompt prompt;
        NoRunner runner;
        AppCoreOptions options = coreOptions(services, capture, scheduler);
        options.storePath = dir.filePath(QStringLiteral("lookups.sqlite"));
        AppCore core(InfoDictionary{}, prompt, runner, options);
        core.monitor().startMonitoring();
        capture.deliver({datagrams("198.51.100.1", 8801, 10)});
        scheduler.runPosted();
        ASSERT_TRUE(QTest::qWaitFor([&] { return services.requests().size() == 1; }, 5000));
        services.setIpAnswer({200, R"({"ip":"198.51.100.2","city":"Montreal","region":"Quebec","country":"CA","loc":"20,20","org":"O"})"});
        capture.deliver({datagrams("198.51.100.2", 8801, 200)});
        scheduler.advance(10s);
        ASSERT_TRUE(QTest::qWaitFor([&] { return core.state().statusColor() == StatusColor::green; }, 5000));
        const QString shown = core.state().mainText();
        EXPECT_TRUE(shown.contains(QStringLiteral("198.51.100.2, based in Montreal"))) << shown.toStdString();
        const QString late = QStringLiteral("An answer for 198.51.100.1 came after the stream moved on: not shown");
        ASSERT_TRUE(QTest::qWaitFor([&] { return core.state().statusText().contains(late); }, 5000));
        QCoreApplication::processEvents();
        EXPECT_EQ(core.state().mainText(), shown);
        EXPECT_EQ(core.state().statusColor(), StatusColor::green);
        EXPECT_FALSE(core.state().retryError());
        for (const std::string& request : services.requests()) EXPECT_EQ(request.find("position=10,10"), std::string::npos);
        const auto history = core.recentAcknowledgements();
        ASSERT_EQ(history.size(), 1u);
        EXPECT_EQ(history[0].address, QStringLiteral("198.51.100.2"));
    }
}

TEST(MeetingServices, ServicesAreNamedByTheirPublishedRangesThenByPort) {
    struct Case {
        const char* address;
        std::uint16_t port;
        const char* subject;  // none: no service's
    };
    const Case cases[] = {
        {"192.0.2.7", 8801, "The Zoom stream"},
        {"192.0.2.7", 8810, "The Zoom stream"},
        {"192.0.2.7", 3479, "The Microsoft Teams stream"},
        {"192.0.2.7", 19305, "The Google Meet stream"},
        {"192.0.2.7", 9000, "The Webex stream"},
        {"192.0.2.7", 5004, "The Webex stream"},
        {"192.0.2.7", 10000, "The Jitsi Meet stream"},
        {"192.0.2.7", 3478, "The stream from a meeting service's relay"},  // every relay's port
        {"52.112.0.10", 3478, "The Microsoft Teams stream"},                 // inside Teams' ranges
        {"2603:1047::5", 3478, "The Microsoft Teams stream"},
        {"74.125.250.10", 3478, "The Google Meet stream"},
        {"74.125.250.10", 19305, "The Google Meet stream"},
        {"3.7.35.10", 3479, "The Zoom stream"},  // the ranges outrank the port
        {"170.72.0.9", 40000, "The Webex stream"},
        {"192.0.2.7", 8800, nullptr},
        {"192.0.2.7", 53, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.address << " port " << c.port);
        const NetAddress address = *NetAddress::fromText(c.address);
        EXPECT_EQ(servicesOf(address, c.port) != 0, c.subject != nullptr);
        if (c.subject) {
            EXPECT_EQ(StreamMonitor::streamSubject(address, c.port), QString::fromUtf8(c.subject));
        }
    }
    // Watching Teams alone: 3478 is a Teams relay.
    EXPECT_EQ(StreamMonitor::streamSubject(*NetAddress::fromText("192.0.2.7"), 3478, ServiceSet{1} << 1),
              QStringLiteral("The Microsoft Teams stream"));
    EXPECT_EQ(parseServices("teams,meet"), std::optional<ServiceSet>(0b110));
    EXPECT_FALSE(parseServices("teams,skype"));
    EXPECT_FALSE(parseServices(""));
}

TEST(MeetingServices, TheMediaPathFromWhatTheCaptureObserves) {
    // Each row: what arrives in each 10-second window; then what was looked up, where the path ends, and
    // how often the shown server changed.
    const auto stun = PayloadClass::stun;
    const auto out = Direction::outbound;
    const auto in = Direction::inbound;
    struct Case {
        const char* name;
        std::vector<std::vector<Observation>> windows;
        std::vector<QString> lookups;
        StreamMonitor::Path path;
        int switches;
    };
    std::vector<Observation> fifty;  // 50 senders; the busiest sends 10% of all
    for (int i = 1; i <= 50; ++i) fifty.push_back(datagrams("198.51.100." + std::to_string(i), 8801, i == 37 ? 100 : 18));
    const std::vector<Case> cases = {
        {"checks, then media: the media server first",
         {{datagrams("3.7.35.10", 3478, 4, stun, out), datagrams("3.7.35.10", 3479, 4, stun, in),
           datagrams("3.7.35.20", 8801, 300, PayloadClass::serviceMedia)}},
         {"3.7.35.20"}, StreamMonitor::Path::server, 0},
        {"a server that only answers checks is never the media server",
         {{datagrams("3.7.35.10", 3479, 30, stun)}, {datagrams("3.7.35.10", 3479, 30, stun)}}, {}, StreamMonitor::Path::waiting, 0},
        {"unknown framing from inside a service's ranges, when nothing else comes",
         {{datagrams("52.112.0.10", 3479, 50, PayloadClass::other)}}, {"52.112.0.10"}, StreamMonitor::Path::server, 0},
        {"unknown framing outside the ranges is no candidate",
         {{datagrams("192.0.2.9", 3479, 50, PayloadClass::other)}}, {}, StreamMonitor::Path::waiting, 0},
        {"media outranks unknown framing at once",
         {{datagrams("52.112.0.10", 3479, 50, PayloadClass::other)}, {datagrams("52.112.0.11", 3479, 5)}},
         {"52.112.0.10", "52.112.0.11"}, StreamMonitor::Path::server, 1},
        {"peer to peer after a service's checks: never looked up",
         {{datagrams("3.7.35.10", 3478, 2, stun, out), datagrams("192.168.1.20", 50002, 400)}, {datagrams("192.168.1.20", 50002, 400)}},
         {}, StreamMonitor::Path::peer, 0},
        {"media-like traffic with no meeting in sight changes nothing",
         {{datagrams("203.0.113.80", 27015, 400)}, {datagrams("203.0.113.80", 27015, 400)}}, {}, StreamMonitor::Path::waiting, 0},
        {"a checked service not watched is no meeting",
         {{datagrams("192.0.2.1", 9000, 2, stun)}, {datagrams("192.168.1.20", 50002, 400)}}, {}, StreamMonitor::Path::waiting, 0},
        {"50 senders: the busiest is taken at the first window's end, once",
         std::vector<std::vector<Observation>>(12, fifty), {"198.51.100.1", "198.51.100.37"}, StreamMonitor::Path::server, 1},
        {"a private server is not looked up",
         {{datagrams("10.0.0.5", 10000, 100)}}, {}, StreamMonitor::Path::server, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.monitor.setServices(allServices & ~(ServiceSet{1} << 3));  // Webex not watched
        h.monitor.startMonitoring();
        for (const auto& window : c.windows) {
            h.deliver(window);
            h.scheduler.advance(10s);
        }
        EXPECT_EQ(h.lookups, c.lookups);
        EXPECT_EQ(h.monitor.path(), c.path);
        EXPECT_EQ(h.log().filter(QStringLiteral("Switching to media server")).size(), c.switches);
    }
}

TEST(OwnLand, TheLandYouJoinFromAcrossTwoMeetings) {
    // Each row: a place of one's own or none, and a meeting through a server or peer to peer, held twice.
    // The first meeting asks what it must and nothing about a place never set; the second is answered
    // from the store with no request at all.
    const std::string server = "territory maps=languages position=45.5088,-73.5878 key=k";
    const std::string own = "territory maps=languages position=43.65,-79.38 key=k";
    const std::string ip = "ip 192.0.2.7 token=t";
    struct Case {
        const char* name;
        std::optional<OwnPlace> place;
        bool peer;
        std::vector<std::string> requests;  // sorted
        StatusColor color;
    };
    const OwnPlace toronto{QStringLiteral("43.65,-79.38"), QStringLiteral("Toronto, Ontario, CA")};
    const Case cases[] = {
        {"a server, no place: nothing about one's own is sent", std::nullopt, false, {ip, server}, StatusColor::green},
        {"a server and a place: a second sentence", toronto, false, {ip, own, server}, StatusColor::green},
        {"peer to peer and a place: that sentence alone", toronto, true, {own}, StatusColor::purple},
        {"peer to peer, no place: nothing sent at all", std::nullopt, true, {}, StatusColor::purple},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServices services;
        services.setIpAnswer({200, R"({"ip":"192.0.2.7","city":"Montreal","region":"Quebec","country":"CA",)"
                                   R"("loc":"45.5088,-73.5878","org":"AS64500"})"});
        services.setTerritoryAnswer({200, R"([{"id":"w","type":"F","properties":{"name":"Wendat","description":"https://t/w"}}])"});
        QTemporaryDir dir;
        ManualScheduler scheduler;
        FakeCapture capture;
        NoPrompt prompt;
        NoRunner runner;
        AppCoreOptions options = coreOptions(services, capture, scheduler);
        options.storePath = dir.filePath(QStringLiteral("lookups.sqlite"));
        options.ipInfoToken = QStringLiteral("t");
        options.ownPlace = c.place;
        AppCore core(InfoDictionary{}, prompt, runner, options);
        DisplayState& state = core.state();
        core.monitor().startMonitoring();
        const auto meeting = [&] {
            if (c.peer) {
                capture.deliver({datagrams("3.7.35.10", 3478, 2, PayloadClass::stun, Direction::outbound),
                                 datagrams("192.168.1.20", 50002, 400)});
            } else {
                capture.deliver({datagrams("192.0.2.7", 8801, 400)});
            }
            scheduler.advance(10s);
            return QTest::qWaitFor([&] {
                return state.statusColor() == c.color && state.ownLand().text.isEmpty() == !c.place;
            }, 5000);
        };
        for (int round = 1; round <= 2; ++round) {
            SCOPED_TRACE(round);
            ASSERT_TRUE(meeting());
            auto requests = services.requests();
            std::sort(requests.begin(), requests.end());
            EXPECT_EQ(requests, c.requests);
            const QString text = core.acknowledgementText();
            EXPECT_EQ(text.contains(OwnLand::sentence(true) + QStringLiteral("\nWendat: https://t/w\n")), c.place.has_value()) << text.toStdString();
            EXPECT_EQ(text.startsWith(OwnLand::sentence(true)), c.peer && c.place) << text.toStdString();
            EXPECT_FALSE(text.contains(QStringLiteral("192.168.1.20")));
            const QString sentences = core.sentencesAlone();  // without their links
            EXPECT_EQ(sentences.contains(OwnLand::sentence(true)), c.place.has_value()) << sentences.toStdString();
            EXPECT_FALSE(sentences.contains(QStringLiteral("https://"))) << sentences.toStdString();
            EXPECT_FALSE(state.statusText().contains(QStringLiteral("43.65")));  // the log never says where one is
            const auto history = core.recentAcknowledgements();
            ASSERT_EQ(history.size(), c.place || !c.peer ? 1u : 0u);
            if (!history.empty()) {
                EXPECT_EQ(history[0].ownPeoples, c.place ? QStringList{"Wendat"} : QStringList{});
                EXPECT_EQ(history[0].peoples, c.peer ? QStringList{} : QStringList{"Wendat"});
                EXPECT_EQ(history[0].text, text);
            }
            scheduler.advance(20s);  // the meeting ends
            EXPECT_EQ(state.statusColor(), StatusColor::orange);
            EXPECT_EQ(state.ownLand(), OwnLandShown{});
            EXPECT_EQ(core.acknowledgementText(), text);  // kept a while after it, both sentences too
            EXPECT_EQ(core.sentencesAlone(), sentences);
        }
    }
}
