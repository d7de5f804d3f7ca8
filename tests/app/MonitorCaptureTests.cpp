// The monitor over real capture on the loopback interface (needs root, as in CI).
#include <ZuzizavAdiduDazorud/EtherCapture.h>
#include "ManualScheduler.h"
#include "CaptureRefusal.h"
#include "StreamMonitor.h"
#include "Loopback.h"

#include <arpa/inet.h>
#include <grp.h>
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

TEST(MonitorCapture, ReportsTheLoopbackSender) {
    if (!isRoot()) GTEST_SKIP() << "needs root";
    DisplayState state(std::nullopt);
    ManualScheduler scheduler;
    std::vector<QString> lookups;
    StreamMonitor monitor({state, scheduler, etherCaptureFactory(),
                           [&](const QString& address) { lookups.push_back(address); }, [] {},
                           [] { return QDateTime::currentDateTimeUtc(); }, std::nullopt, {}});
    monitor.startMonitoring();
    ASSERT_EQ(monitor.captureInterface(), QStringLiteral("any"));
    TestSupport::sendFrom8801(40999, "media");
    for (int i = 0; i < 500 && lookups.empty(); ++i) {
        std::this_thread::sleep_for(10ms);
        scheduler.runPosted();
    }
    ASSERT_EQ(lookups, std::vector<QString>{"127.0.0.1"});
    EXPECT_EQ(monitor.lastServerAddress(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(state.statusText().contains(QStringLiteral("Just checked packets at ")));
}

TEST(MonitorCaptureDeathTest, AnUnprivilegedOpenIsRecognisedAsDenied) {
    if (!isRoot()) GTEST_SKIP() << "needs root to drop to another user";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // nobody/nogroup: dropping root also drops the capture capabilities.
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) std::_Exit(3);
            try {
                etherCaptureFactory()(CaptureParameters{"lo"}, [](const auto&) {});
            } catch (const CaptureFailure& failure) {
                std::fprintf(stderr, "%s\n", failure.what());
                std::_Exit(failure.kind() == CaptureFailure::Kind::permissionDenied ? 0 : 1);
            }
            std::_Exit(2);
        },
        testing::ExitedWithCode(0), "");
}
