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
              [] { return QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9), Qt::UTC); }, interface, {}}) {}

    QStringList log() const { return state.statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    qsizetype count(const QString& line) const { return log().count(line); }

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
    EXPECT_EQ(p.count, StreamMonitor::packetsPerRun);
    EXPECT_EQ(p.command, captureFilter);
    EXPECT_EQ(p.snaplen, 96);
    EXPECT_FALSE(p.promiscuous);
    EXPECT_EQ(h.log(), (QStringList{"Awaiting status", "runEtherCapture()"}));
    EXPECT_TRUE(h.state.isLoading());

    Harness chosen(QStringLiteral("tun0"));
    chosen.monitor.startMonitoring();
    EXPECT_EQ(chosen.capture.parameters[0].interface, "tun0");
    EXPECT_TRUE(chosen.log().contains("Capturing on tun0 as asked"));
}

TEST(StreamMonitor, NoTrafficResetsEveryTenSeconds) {
    Harness h;
    h.monitor.startMonitoring();
    h.state.setMainText(QStringLiteral("something else"));
    h.state.setTerritories({Territory{"1", {"n", "d"}, "t"}});
    h.scheduler.advance(9999ms);
    EXPECT_EQ(h.count(StreamMonitor::resetLine), 0);
    h.scheduler.advance(20001ms);

    EXPECT_EQ(h.log().mid(2), (QStringList{StreamMonitor::resetLine, "runEtherCapture()", StreamMonitor::resetLine,
                                           "runEtherCapture()", StreamMonitor::resetLine, "runEtherCapture()"}));
    EXPECT_EQ(h.state.mainText(), DisplayState::waitingText());
    EXPECT_EQ(h.state.statusColor(), StatusColor::orange);
    EXPECT_TRUE(h.state.territories().empty());
    ASSERT_EQ(h.capture.sessions.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(h.capture.sessions[i]->cancels, 1) << i;
    EXPECT_EQ(h.capture.sessions[3]->cancels, 0);
}

TEST(StreamMonitor, SameServerTwiceStartsOneLookup) {
    Harness h;
    h.capture.frameFor = [](int) { return udpFrom({192, 0, 2, 7}); };
    h.monitor.startMonitoring();
    h.scheduler.runPosted();
    ASSERT_EQ(h.lookups, std::vector<QString>{"192.0.2.7"});
    EXPECT_NE(h.capture.callbackThreads.at(0), std::this_thread::get_id());
    EXPECT_EQ(h.log().mid(2, 1), QStringList{"Just checked packets at 2026-12-07 14:05:09 +0000"});
    EXPECT_TRUE(h.state.isLoading());  // the lookup clears it

    h.scheduler.advance(4999ms);
    EXPECT_EQ(h.capture.sessions.size(), 1u);
    h.scheduler.advance(1ms);
    ASSERT_EQ(h.capture.sessions.size(), 2u);
    EXPECT_EQ(h.capture.sessions[0]->cancels, 1);
    EXPECT_EQ(h.lookups.size(), 1u);
    EXPECT_FALSE(h.state.isLoading());
    EXPECT_EQ(h.monitor.lastServerAddress(), QStringLiteral("192.0.2.7"));
    // The watchdogs of runs that saw their packet stay quiet.
    h.scheduler.advance(30s);
    EXPECT_EQ(h.count(StreamMonitor::resetLine), 0);
}

TEST(StreamMonitor, ThreeHundredRunsInARowKeepWorking) {
    Harness h;
    h.capture.frameFor = [](int run) { return udpFrom({10, 0, run / 100, 1}); };
    h.monitor.startMonitoring();
    for (int i = 0; i < 300; ++i) h.scheduler.advance(5s);
    EXPECT_EQ(h.capture.sessions.size(), 301u);
    EXPECT_EQ(h.count("runEtherCapture()"), 301);
    // Each new server takes over at the end of the window in which it was the busier.
    EXPECT_EQ(h.lookups, (std::vector<QString>{"10.0.0.1", "10.0.1.1", "10.0.2.1"}));
    EXPECT_EQ(h.count(StreamMonitor::resetLine), 0);
    // Only the current run's watchdog and restart and the window's end are pending.
    EXPECT_LE(h.scheduler.pendingTimers(), 4u);
}

TEST(StreamMonitor, AfterAResetTheSameServerIsLookedUpAgain) {
    Harness h;
    h.capture.frameFor = [](int run) { return run == 1 ? std::nullopt : std::optional(udpFrom({192, 0, 2, 7})); };
    h.monitor.startMonitoring();
    h.scheduler.advance(5s);   // run 1 starts and sees nothing
    h.scheduler.advance(10s);  // its watchdog resets; run 2 sees the same server
    EXPECT_EQ(h.count(StreamMonitor::resetLine), 1);
    EXPECT_EQ(h.lookups, (std::vector<QString>{"192.0.2.7", "192.0.2.7"}));
}

TEST(StreamMonitor, FrameWithoutServerAddressStillRestarts) {
    Harness h;
    h.capture.frameFor = [](int) {
        auto bytes = ZuzizavAdiduDazorud::makeData("685b35890a04c869cd2c0d5088b50102030405");
        return std::optional(Frame(*bytes, {}, 19, 1));
    };
    h.monitor.startMonitoring();
    h.scheduler.advance(5s);
    EXPECT_TRUE(h.lookups.empty());
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
        EXPECT_EQ(h.count(StreamMonitor::resetLine), 0);
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

TEST(StreamMonitor, ServerAddressFromTheLayer3Text) {
    const std::pair<QString, std::optional<QString>> cases[] = {
        {"IPv4 192.0.2.7 > 10.1.2.3 ipProt 17", "192.0.2.7"},
        {"IPv6 fe80::1867:ff5d:d25b:ad67 > fe80::b27f:b9ff:fe5d:8ed2 nextHeader 17", "fe80::1867:ff5d:d25b:ad67"},
        {"unknown 4 bytes", std::nullopt},
        {"IPv4 > x", std::nullopt},
        {"IPv4 a > b", "a"},
        {"", std::nullopt},
    };
    for (const auto& [text, address] : cases) EXPECT_EQ(StreamMonitor::serverAddress(text), address) << text.toStdString();
}

TEST(StreamMonitor, PermissionDeniedTexts) {
    EXPECT_TRUE(isPermissionDenied(
        "You don't have permission to perform this capture on that device (socket: Operation not permitted)"));
    EXPECT_TRUE(isPermissionDenied("/dev/bpf0: Permission denied"));
    EXPECT_FALSE(isPermissionDenied("eth9: No such device exists"));
    EXPECT_FALSE(isPermissionDenied("permission denied"));  // case matters, as libpcap writes it
}

TEST(StreamMonitor, FirstPacketFromANewServerRunsBothLookupsThenRestarts) {
    FakeServices services;
    services.setIpAnswer({200, R"({"ip":"192.0.2.7","city":"Montreal","region":"Quebec","country":"CA",)"
                               R"("loc":"45.5088,-73.5878","org":"AS64500 Example"})"});
    services.setTerritoryAnswer({200, R"([{"id":"t1","type":"Feature","properties":{"name":"N","description":"https://t/"}}])"});
    DisplayState state(std::nullopt);
    ManualScheduler scheduler;
    FakeCapture capture;
    capture.frameFor = [](int run) { return run == 0 ? std::optional(udpFrom({192, 0, 2, 7})) : std::nullopt; };
    WebClient client(10s);
    LookupContext context{.state = state, .client = client, .keys = [] { return ServiceKeys{"k", {}}; }, .finished = {}};
    TerritoryLookup territory(context, services.territoryBase());
    LocationLookup location(context, territory, services.ipBase(), QStringLiteral("token"));
    StreamMonitor monitor({state, scheduler, capture.factory(),
                           [&](const QString& address) { location.loadIPData(address); }, [] {},
                           [] { return QDateTime::currentDateTimeUtc(); }, std::nullopt, {}});
    monitor.startMonitoring();
    scheduler.runPosted();
    ASSERT_TRUE(QTest::qWaitFor([&] { return state.statusColor() == StatusColor::green; }, 10000));
    scheduler.advance(5s);

    QStringList log = state.statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1);
    ASSERT_EQ(log.size(), 6);
    EXPECT_EQ(log[0], QStringLiteral("runEtherCapture()"));
    EXPECT_TRUE(log[1].startsWith(QStringLiteral("Just checked packets at ")));
    EXPECT_EQ(log[2], QStringLiteral("Candidate media server 192.0.2.7 (Zoom, port 8801)"));
    EXPECT_EQ(log[3], QStringLiteral("Loading IP data for 192.0.2.7"));
    EXPECT_EQ(log[4], QStringLiteral("Loading territory data for 45.5088,-73.5878"));
    EXPECT_EQ(log[5], QStringLiteral("runEtherCapture()"));
    EXPECT_TRUE(state.isLoading());  // the new run is busy again
}

TEST(StreamMonitor, ACaptureCallbackCannotOutliveTheMonitor) {
    // A packet that arrives while the program shuts down finds no monitor, and touches nothing freed.
    FrameCallback kept;
    auto session = std::make_shared<FakeSession>();
    DisplayState state(std::nullopt);
    ManualScheduler scheduler;
    {
        StreamMonitor monitor({state, scheduler,
                               [&](const CaptureParameters&, FrameCallback callback) -> std::shared_ptr<CaptureSession> {
                                   kept = std::move(callback);
                                   return session;
                               },
                               [](const QString&) {}, [] {},
                               [] { return QDateTime::currentDateTimeUtc(); }, std::nullopt, {}});
        monitor.startMonitoring();
    }
    EXPECT_EQ(session->cancels, 1);  // the destructor ended the current run
    ASSERT_TRUE(kept);
    std::thread late([&] { kept(udpFrom({192, 0, 2, 7})); });
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
    capture.frameFor = [](int) { return udpFrom({192, 0, 2, 7}); };
    NoPrompt prompt;
    NoRunner runner;
    AppCoreOptions options;
    options.ipInfoBaseAddress = services.ipBase();
    options.territoryBaseAddress = services.territoryBase();
    options.capture = capture.factory();
    options.scheduler = &scheduler;
    options.fixedTerritoryKey = QStringLiteral("k");
    AppCore core(InfoDictionary{}, prompt, runner, options);
    DisplayState& state = core.state();
    auto settle = [&](StatusColor color) {
        return QTest::qWaitFor([&] { return state.statusColor() == color; }, 10000);
    };

    core.monitor().startMonitoring();
    scheduler.runPosted();
    ASSERT_TRUE(settle(StatusColor::red));
    EXPECT_EQ(state.mainText(),
              QStringLiteral("There was an error fetching territory data: the service answered with status 500."));
    const QStringList log = state.statusText().split('\n');
    EXPECT_TRUE(log.contains(QStringLiteral("The service answered status 500")));
    EXPECT_TRUE(state.retryError());  // Try Again is offered
    EXPECT_EQ(services.requests().size(), 2u);

    // Still failing at the first retry (10 s); back at the second (30 s later): green, no action taken.
    scheduler.advance(10s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return services.requests().size() == 4; }, 10000));
    ASSERT_TRUE(settle(StatusColor::red));
    services.setTerritoryAnswer({200, R"([{"id":"w","type":"F","properties":{"name":"Wendat","description":"https://t/w"}}])"});
    scheduler.advance(29s);
    EXPECT_EQ(services.requests().size(), 4u);  // not before its time
    scheduler.advance(1s);
    ASSERT_TRUE(settle(StatusColor::green));
    EXPECT_FALSE(state.retryError());
    EXPECT_EQ(state.territories().size(), 1u);
}

TEST(MeetingServices, EachServicesPortsNameItsStreamOverIPv4AndIPv6) {
    struct Case {
        std::uint16_t port;
        const char* subject;  // none: not captured
    };
    const Case cases[] = {
        {8801, "The Zoom stream"},         {8810, "The Zoom stream"},
        {3479, "The Microsoft Teams stream"}, {3481, "The Microsoft Teams stream"},
        {19302, "The Google Meet stream"},  {19309, "The Google Meet stream"},
        {9000, "The Webex stream"},         {5004, "The Webex stream"},
        {10000, "The Jitsi Meet stream"},   {3478, "The stream from a meeting service's relay"},
        {8800, nullptr},                    {3482, nullptr}, {5005, nullptr}, {53, nullptr},
    };
    for (const Case& c : cases) {
        for (const bool v6 : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.port << (v6 ? " IPv6" : " IPv4"));
            Harness h;
            h.capture.frameFor = [&](int) {
                return std::optional(v6 ? udp6From("20010db8000000000000000000000007", c.port) : udpFrom({192, 0, 2, 7}, c.port));
            };
            h.monitor.startMonitoring();
            h.scheduler.runPosted();
            if (!c.subject) {
                EXPECT_TRUE(h.lookups.empty());
                h.scheduler.advance(10s);
                EXPECT_EQ(h.count(StreamMonitor::resetLine), 1);  // another service's packets are no stream
                continue;
            }
            EXPECT_EQ(h.lookups, std::vector<QString>{v6 ? "2001:db8::7" : "192.0.2.7"});
            EXPECT_EQ(h.state.streamSubject(), QString::fromUtf8(c.subject));
        }
    }
    // Watching Teams alone: 3478 is a Teams relay.
    EXPECT_EQ(StreamMonitor::streamSubject(3478, ServiceSet{1} << 1), QStringLiteral("The Microsoft Teams stream"));
    EXPECT_EQ(parseServices("teams,meet"), std::optional<ServiceSet>(0b110));
    EXPECT_FALSE(parseServices("teams,skype"));
    EXPECT_FALSE(parseServices(""));
}

TEST(MeetingServices, TheBusierServerTakesOverAtAWindowsEndAndStays) {
    // A meeting's relay (Teams, 6 packets a run) and another meeting's direct path (Zoom, 2 a run, each run
    // first): the first packet's server is shown at once, the busier one from the window's end on, for good.
    Harness h;
    h.capture.framesFor = [](int) {
        std::vector<Frame> frames{udpFrom({198, 51, 100, 1}, 8801), udpFrom({198, 51, 100, 1}, 8801)};
        for (int i = 0; i < 6; ++i) frames.push_back(udpFrom({203, 0, 113, 9}, 3479));
        return frames;
    };
    h.monitor.startMonitoring();
    for (int i = 0; i < 12; ++i) h.scheduler.advance(5s);
    EXPECT_EQ(h.lookups, (std::vector<QString>{"198.51.100.1", "203.0.113.9"}));
    EXPECT_EQ(h.count("Candidate media server 198.51.100.1 (Zoom, port 8801)"), 1);
    EXPECT_EQ(h.count("Candidate media server 203.0.113.9 (Microsoft Teams, port 3479)"), 1);
    const QStringList switches = h.log().filter(QStringLiteral("Switching to the busier media server"));
    ASSERT_EQ(switches.size(), 1);  // once, and never back
    EXPECT_TRUE(switches[0].startsWith(QStringLiteral("Switching to the busier media server 203.0.113.9 ("))) << switches[0].toStdString();
    EXPECT_EQ(h.state.streamSubject(), QStringLiteral("The Microsoft Teams stream"));
}
