#include "DisplayState.h"
#include "Scheduler.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <thread>

using namespace Tidemark;

TEST(DisplayState, InitialValues) {
    DisplayState state(QStringLiteral("1.2.3"));
    EXPECT_TRUE(state.territories().empty());
    EXPECT_EQ(state.geo(), Geo{});
    EXPECT_EQ(state.mainText(), QString::fromUtf8("Waiting for Zoom stream to become available\xE2\x80\xA6"));
    EXPECT_EQ(state.statusText(), QStringLiteral("Tidemark started\n"));
    EXPECT_EQ(state.statusColor(), StatusColor::orange);
    EXPECT_FALSE(state.retryError());
    EXPECT_FALSE(state.saveError());
    EXPECT_TRUE(state.isLoading());
    EXPECT_EQ(state.appVersion(), QStringLiteral("1.2.3"));
    EXPECT_FALSE(DisplayState(std::nullopt).appVersion());
}

TEST(DisplayState, AppendLogAddsLines) {
    DisplayState state(std::nullopt);
    int changes = 0;
    QObject::connect(&state, &DisplayState::changed, [&] { ++changes; });
    state.appendLog(QStringLiteral("a"));
    state.appendLog(QStringLiteral("b"));
    EXPECT_EQ(state.statusText(), QStringLiteral("Tidemark started\na\nb\n"));
    EXPECT_EQ(changes, 2);
}

TEST(DisplayState, WritesFromOtherThreadsAllArriveInPerThreadOrder) {
    DisplayState state(std::nullopt);
    constexpr int threads = 4;
    constexpr int linesPerThread = 500;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < linesPerThread; ++i) {
                state.appendLog(QStringLiteral("%1:%2").arg(t).arg(i));
                if (i == linesPerThread - 1) state.setMainText(QStringLiteral("done %1").arg(t));
            }
        });
    }
    for (auto& writer : writers) writer.join();
    // Nothing is written before the main thread's event loop runs.
    EXPECT_EQ(state.statusText(), DisplayState::initialLog);
    ASSERT_TRUE(QTest::qWaitFor([&] { return state.statusText().count(QLatin1Char('\n')) == 1 + threads * linesPerThread; }, 5000));

    std::vector<int> next(threads, 0);
    const QStringList lines = state.statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList parts = lines[i].split(QLatin1Char(':'));
        ASSERT_EQ(parts.size(), 2);
        int t = parts[0].toInt();
        EXPECT_EQ(parts[1].toInt(), next[t]++) << "thread " << t;
    }
    EXPECT_TRUE(state.mainText().startsWith(QStringLiteral("done ")));
}

TEST(HandOff, RunsAtOnceOnItsOwnThreadAndDropsTasksWhoseContextIsGone) {
    auto context = std::make_unique<QObject>();
    int ran = 0;
    runOnThreadOf(context.get(), [&] { ++ran; });
    EXPECT_EQ(ran, 1);

    std::thread([&] { runOnThreadOf(context.get(), [&] { ran += 10; }); }).join();
    EXPECT_EQ(ran, 1);
    context.reset();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(ran, 1);

    auto other = std::make_unique<QObject>();
    std::thread([&] { runOnThreadOf(other.get(), [&] { ran += 100; }); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran == 101; }, 5000));
}
