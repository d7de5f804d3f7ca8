// The monitor over real capture on the loopback interface (needs root, as in CI).
#include <ZuzizavAdiduDazorud/EtherCapture.h>
#include "ManualScheduler.h"
#include "CaptureRefusal.h"
#include "StreamMonitor.h"
#include "MediaNetwork.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTest>

#include <gtest/gtest.h>

#include "QtPrinters.h"

using namespace Tidemark;
using namespace std::chrono_literals;
using ZuzizavAdiduDazorud::EtherCapture;

namespace {

bool isRoot() { return geteuid() == 0; }

}  // namespace

TEST(MonitorCapture, InProcessCaptureCountsAsTheHelperDoes) {
    // Run as root, Tidemark captures by itself: the same observations reach the monitor.
    if (!isRoot()) GTEST_SKIP() << "needs root";
    TestSupport::MediaNetwork net({"198.51.100.1"});
    ASSERT_TRUE(net.ok());
    DisplayState state(std::nullopt);
    ManualScheduler scheduler;
    std::vector<QString> lookups;
    // The capture's socket belongs to the namespace of the thread that opens it.
    const CaptureFactory inComputer = [&](const CaptureParameters& p, ObservationCallback callback) {
        std::shared_ptr<CaptureSession> session;
        std::thread([&] {
            const int ns = open(("/var/run/netns/" + net.computer().name()).c_str(), O_RDONLY | O_CLOEXEC);
            if (ns >= 0 && setns(ns, CLONE_NEWNET) == 0) session = etherCaptureFactory()(p, callback);
            if (ns >= 0) close(ns);
        }).join();
        if (!session) throw CaptureFailure(CaptureFailure::Kind::other, "cannot enter the namespace");
        return session;
    };
    StreamMonitor monitor({state, scheduler, inComputer, [&](const QString& address) { lookups.push_back(address); }, [] {},
                           [] { return QDateTime::currentDateTimeUtc(); }, std::nullopt, {}, allServices, {}});
    monitor.startMonitoring();
    ASSERT_EQ(monitor.captureInterface(), QStringLiteral("any"));
    ASSERT_TRUE(net.toComputer("198.51.100.1", 8801, TestSupport::payloads::rtp, 20));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        scheduler.runPosted();
        return monitor.mediaDatagrams() == 20;
    }, 10000)) << monitor.mediaDatagrams();
    EXPECT_EQ(lookups, std::vector<QString>{"198.51.100.1"});
}

TEST(MonitorCaptureDeathTest, AnUnprivilegedOpenIsRecognisedAsDenied) {
    if (!isRoot()) GTEST_SKIP() << "needs root to drop to another user";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // nobody/nogroup: dropping root also drops the capture capabilities.
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) std::_Exit(3);
            try {
                etherCaptureFactory()(CaptureParameters{"lo"}, [](const Observation&) {});
            } catch (const CaptureFailure& failure) {
                std::fprintf(stderr, "%s\n", failure.what());
                std::_Exit(failure.kind() == CaptureFailure::Kind::permissionDenied ? 0 : 1);
            }
            std::_Exit(2);
        },
        testing::ExitedWithCode(0), "");
}
