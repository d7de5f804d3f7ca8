// Calls as the real capture helper sees them: made sequences of datagrams between two network namespaces,
// through the helper and the application's core, to the lookups that leave (needs root, as in CI).
#include "AppCore.h"
#include "CaptureBackend.h"
#include "StreamMonitor.h"

#include "FakeServices.h"
#include "ManualScheduler.h"
#include "MediaNetwork.h"

#include <gtest/gtest.h>

#include <QTest>

#include <atomic>

#include "QtPrinters.h"

using namespace Tidemark;
using namespace std::chrono_literals;
namespace payloads = TestSupport::payloads;

namespace {

struct NoPrompt final : PermissionPrompt {
    bool askToGrant(const QString&) override { return false; }
};
struct NoRunner final : PrivilegedRunner {
    void run(const QString&, std::function<void(PrivilegedOutcome)>) override {}
};

// What one side sends within a window.
struct Send {
    bool outbound;  // from the computer
    const char* address;
    std::uint16_t port;
    std::string payload;
    int count;
};
Send in(const char* address, std::uint16_t port, const std::string& payload, int count) {
    return {false, address, port, payload, count};
}
Send out(const char* address, std::uint16_t port, const std::string& payload, int count) {
    return {true, address, port, payload, count};
}

const char* const zoomStun = "3.7.35.10";    // inside Zoom's ranges
const char* const zoomMedia = "3.7.35.20";
const char* const teamsRelay = "52.112.0.10";  // inside Teams' ranges
const char* const meetServer = "74.125.250.10";
const char* const participant = "192.168.77.7";  // another participant, at home
const char* const meetingA = "198.51.100.1";
const char* const meetingB = "198.51.100.2";

}  // namespace

TEST(MediaPathScenario, CallsAsTheHelperSeesThem) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, as in CI";
    const std::vector<Send> zoomChecks = {out(zoomStun, 3478, payloads::stunRequest, 3), in(zoomStun, 3478, payloads::stunResponse, 3),
                                          in(zoomStun, 3479, payloads::stunResponse, 3)};
    const std::vector<Send> peerMedia = {in(participant, 50123, payloads::rtp, 200)};
    std::vector<std::vector<Send>> twoMeetings;
    for (int window = 0; window < 12; ++window) {  // two minutes of 60/40
        twoMeetings.push_back({in(meetingA, 8801, payloads::rtp, 40), in(meetingB, 8801, payloads::rtp, 60)});
    }
    struct Scenario {
        const char* name;
        std::vector<std::vector<Send>> windows;
        QStringList lookups;
        StreamMonitor::Path path;
        QString subject;
        int switches;
    };
    const std::vector<Scenario> scenarios = {
        {"checks, then media: the first lookup is the media server",
         {zoomChecks, {in(zoomMedia, 8801, payloads::zoomMedia, 100)}},
         {zoomMedia}, StreamMonitor::Path::server, "The Zoom stream", 0},
        {"relay only: Teams' range on 3478 is Teams",
         {{in(teamsRelay, 3478, payloads::channelData, 100)}, {in(teamsRelay, 3478, payloads::channelData, 100)}},
         {teamsRelay}, StreamMonitor::Path::server, "The Microsoft Teams stream", 0},
        {"a Meet server on 3478 and 19305 is one Meet server",
         {{in(meetServer, 19305, payloads::stunResponse, 2), in(meetServer, 3478, payloads::rtp, 50),
           in(meetServer, 19305, payloads::rtp, 50)}},
         {meetServer}, StreamMonitor::Path::server, "The Google Meet stream", 0},
        {"checks, then peer to peer: the participant is never looked up",
         {zoomChecks, peerMedia, peerMedia}, {}, StreamMonitor::Path::peer, {}, 0},
        {"peer to peer, then a third person joins through a server",
         {zoomChecks, peerMedia, {in(zoomMedia, 8801, payloads::zoomMedia, 200)}, {in(zoomMedia, 8801, payloads::zoomMedia, 200)}},
         {zoomMedia}, StreamMonitor::Path::server, "The Zoom stream", 0},
        {"two meetings at once, 60/40 for two minutes: at most one switch",
         twoMeetings, {meetingA, meetingB}, StreamMonitor::Path::server, "The Zoom stream", 1},
    };
    const QDateTime start(QDate(2026, 12, 9), QTime(10, 0), Qt::UTC);
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        TestSupport::MediaNetwork net({zoomStun, zoomMedia, teamsRelay, meetServer, participant, meetingA, meetingB});
        ASSERT_TRUE(net.ok());
        FakeServices services;
        services.setIpAnswer({200, R"({"ip":"x","city":"Montreal","region":"Quebec","country":"CA","loc":"45.5,-73.5","org":"AS64500"})"});
        services.setTerritoryAnswer({200, R"([{"id":"w","type":"F","properties":{"name":"Wendat","description":"https://t/w"}}])"});
        ManualScheduler scheduler;
        std::atomic<std::uint64_t> observed{0};
        const CaptureFactory helper = helperCaptureFactory(net.wrapper(TIDEMARK_CAPTURE_HELPER));
        NoPrompt prompt;
        NoRunner runner;
        AppCoreOptions options;
        options.ipInfoBaseAddress = services.ipBase();
        options.territoryBaseAddress = services.territoryBase();
        options.scheduler = &scheduler;
        options.fixedTerritoryKey = QStringLiteral("k");
        options.now = [&] { return start.addMSecs(scheduler.elapsed().count()); };
        options.capture = [&](const CaptureParameters& p, ObservationCallback callback) {
            return helper(p, [&observed, callback](const Observation& o) {
                observed += o.count;
                callback(o);
            });
        };
        AppCore core(InfoDictionary{}, prompt, runner, options);
        core.monitor().startMonitoring();

        std::uint64_t sent = 0;
        for (const auto& window : scenario.windows) {
            for (const Send& s : window) {
                ASSERT_TRUE(s.outbound ? net.fromComputer(s.address, s.port, s.payload, s.count)
                                       : net.toComputer(s.address, s.port, s.payload, s.count));
                sent += static_cast<std::uint64_t>(s.count);
            }
            // The helper passes on a flow's first datagram at once and its count within a second or two.
            ASSERT_TRUE(QTest::qWaitFor([&] { return observed >= sent; }, 10000)) << observed << " of " << sent;
            scheduler.runPosted();
            scheduler.advance(10s);
        }
        const QStringList log = core.state().statusText().split(QLatin1Char('\n'));
        QStringList lookups;
        for (const QString& line : log) {
            if (line.startsWith(QStringLiteral("Loading IP data for "))) lookups << line.mid(20);
        }
        EXPECT_EQ(lookups, scenario.lookups);
        EXPECT_LE(log.filter(QStringLiteral("Switching to media server")).size(), scenario.switches);
        EXPECT_EQ(core.monitor().path(), scenario.path);
        if (!scenario.subject.isEmpty()) {
            EXPECT_EQ(core.state().streamSubject(), scenario.subject);
        }
        if (scenario.path == StreamMonitor::Path::peer) {
            EXPECT_EQ(core.state().mainText(), StreamMonitor::peerText(QStringLiteral("Zoom")));
            EXPECT_EQ(core.state().statusColor(), StatusColor::purple);
        }
        // What left for the IP-information service: the servers, never the participant.
        // (A server's territory request may never go: its answer came after the stream moved on.)
        const auto ipRequests = [&] {
            const std::vector<std::string> requests = services.requests();
            return std::count_if(requests.begin(), requests.end(), [](const std::string& r) { return r.rfind("ip ", 0) == 0; });
        };
        ASSERT_TRUE(QTest::qWaitFor([&] { return ipRequests() >= lookups.size(); }, 10000))
            << core.state().statusText().toStdString();
        for (const std::string& request : services.requests()) EXPECT_EQ(request.find(participant), std::string::npos) << request;
        EXPECT_EQ(log.filter(QString::fromUtf8(participant)).size(), 0);  // not even in the log
    }
}
