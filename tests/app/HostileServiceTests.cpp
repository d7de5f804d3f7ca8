// Hostile services on 127.0.0.1: answers without end in every phase, answers that trickle, redirects
// elsewhere and in loops, huge names and links, thousands of territories, positions that try to add query
// parameters. Run under a memory guard (prlimit --as): a bound that gives way fails in seconds.
#include "Lookups.h"
#include "WebClient.h"

#include "FakeServices.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#include <fstream>

#include "QtPrinters.h"

using namespace Tidemark;
using namespace std::chrono_literals;

namespace {

struct Fetched {
    WebReply reply;
    bool done = false;
};

// Runs the event loop until `done` holds or `ms` pass. (QTest::qWaitFor sleeps 10 ms between rounds,
// which makes a transfer of many chunks look slow.)
template <typename Done>
bool runUntil(Done done, int ms) {
    if (done()) return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

Fetched fetch(WebClient& client, const QUrl& url, int waitMs = 20000) {
    Fetched result;
    client.get(url, [&](const WebReply& reply) { result = {reply, true}; });
    EXPECT_TRUE(runUntil([&] { return result.done; }, waitMs)) << url.toString().toStdString();
    return result;
}


// The hostile service runs in a process of its own and writes as fast as it can: a bound that holds
// here holds against a service faster than the client.
class HostileProcess {
public:
    // (posix_spawn, not QProcess: ThreadSanitizer cannot follow how QProcess starts a child.)
    HostileProcess() {
        int out[2], in[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::string script = TIDEMARK_HOSTILE_SERVER;
        char* argv[] = {const_cast<char*>("python3"), script.data(), nullptr};
        const bool spawned = posix_spawnp(&pid_, "python3", &actions, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(in[0]);
        input_ = in[1];  // held open: the server ends when it closes
        char line[32] = {};
        std::size_t got = 0;
        while (spawned && got < sizeof line - 1 && read(out[0], line + got, 1) == 1 && line[got] != '\n') ++got;
        close(out[0]);
        port_ = std::atoi(line);
    }
    ~HostileProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(input_);
    }
    bool running() const { return port_ > 0; }
    QUrl url(const QString& path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path)); }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int port_ = 0;
};

long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    }
    return 0;
}

}  // namespace

TEST(HostileServices, EveryPhaseOfAnAnswerIsBounded) {
    HostileProcess server;
    ASSERT_TRUE(server.running());
    using Failure = WebReply::Failure;
    struct Case {
        const char* path;
        Failure failure;
        QString error;  // the error begins with this
    };
    const Case cases[] = {
        {"/endless-chunks", Failure::tooLarge, WebClient::tooLarge},
        {"/huge-chunk", Failure::tooLarge, WebClient::tooLarge},
        {"/huge-length", Failure::tooLarge, WebClient::tooLarge},
        {"/endless-header-line", Failure::tooLarge, WebClient::headersTooLarge},
        {"/endless-header-lines", Failure::tooLarge, WebClient::headersTooLarge},
        {"/gzip-bomb", Failure::tooLarge, WebClient::tooLarge},
        {"/broken-gzip", Failure::transfer, QString()},
        {"/redirect-loop", Failure::redirect, QStringLiteral("the service redirected in a loop")},
        {"/hop/0", Failure::redirect, QStringLiteral("more than 5 redirects")},
        {"/ftp", Failure::redirect, QStringLiteral("refused a redirect to a ftp address")},
        {"/to-closed-https", Failure::unreachable, QString()},
    };
    WebClient client(60s);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        QElapsedTimer timer;
        timer.start();
        const Fetched result = fetch(client, server.url(QString::fromLatin1(c.path)));
        std::printf("[ measured ] %s: %s after %lld ms, peak %ld KiB resident\n", c.path, qPrintable(result.reply.error),
                    static_cast<long long>(timer.elapsed()), statusKiB("VmHWM"));
        EXPECT_EQ(result.reply.failure, c.failure);
        EXPECT_TRUE(result.reply.error.startsWith(c.error)) << result.reply.error.toStdString();
        EXPECT_TRUE(result.reply.body.isEmpty());
        EXPECT_LT(timer.elapsed(), 10000);
        // The client is free again at once.
        const Fetched next = fetch(client, server.url(QStringLiteral("/ok")));
        EXPECT_TRUE(next.reply.answered()) << next.reply.error.toStdString();
        EXPECT_EQ(next.reply.body, "[]");
    }
    // A failed redirect target says where the redirect led.
    const Fetched closed = fetch(client, server.url(QStringLiteral("/to-closed-https")));
    EXPECT_TRUE(closed.reply.error.endsWith(QStringLiteral("(after a redirect to https://127.0.0.1:1)")))
        << closed.reply.error.toStdString();
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_LT(statusKiB("VmHWM"), 100 * 1024);  // the sanitizers keep freed memory aside
#endif
}

TEST(HostileServices, ATrickleFailsAtTheDeadline) {
    // The deadline counts from sending to the last byte: a byte a second does not keep it alive.
    HostileProcess server;
    ASSERT_TRUE(server.running());
    WebClient client(1500ms);
    QElapsedTimer timer;
    timer.start();
    const Fetched result = fetch(client, server.url(QStringLiteral("/trickle")));
    EXPECT_EQ(result.reply.failure, WebReply::Failure::timedOut);
    EXPECT_EQ(result.reply.error, WebClient::timedOut);
    EXPECT_GE(timer.elapsed(), 1400);
    EXPECT_LT(timer.elapsed(), 10000);
    // Destroying a client ends its transfers at once: quitting never waits for a service.
    auto busy = std::make_unique<WebClient>(60s);
    bool called = false;
    busy->get(server.url(QStringLiteral("/trickle")), [&](const WebReply&) { called = true; });
    timer.restart();
    busy.reset();
    EXPECT_LT(timer.elapsed(), 1000);
    QCoreApplication::sendPostedEvents();  // a completion queued before the end would run here
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
}

TEST(HostileServices, RedirectsOnlyToHttpsOrTheSameService) {
    HostileProcess server;
    ASSERT_TRUE(server.running());
    WebClient client(10s);
    auto redirect = [&](const QString& to) {
        return server.url(QStringLiteral("/redirect?to=") + QString::fromUtf8(QUrl::toPercentEncoding(to)));
    };
    // Followed: the same scheme, host and port.
    const Fetched same = fetch(client, redirect(server.url(QStringLiteral("/ok")).toString()));
    ASSERT_TRUE(same.reply.answered()) << same.reply.error.toStdString();
    EXPECT_EQ(same.reply.body, "[]");
    // Refused: plain http elsewhere, and file addresses.
    for (const QString& target : {QStringLiteral("http://127.0.0.2:1/x"), QStringLiteral("file:///etc/passwd")}) {
        const Fetched refused = fetch(client, redirect(target));
        EXPECT_EQ(refused.reply.failure, WebReply::Failure::redirect);
        EXPECT_TRUE(refused.reply.error.startsWith(QStringLiteral("refused a redirect to a ")))
            << refused.reply.error.toStdString();
    }
    EXPECT_TRUE(WebClient::redirectAllowed(QUrl("http://a.example/"), QUrl("https://b.example/")));
    EXPECT_FALSE(WebClient::redirectAllowed(QUrl("http://a.example/"), QUrl("http://a.example:81/")));
    EXPECT_FALSE(WebClient::redirectAllowed(QUrl("https://a.example/"), QUrl("http://a.example/")));
}

namespace {

const std::string geoAnswer =
    R"({"ip":"192.0.2.7","city":"Montreal","region":"Quebec","country":"CA","loc":"45.5088,-73.5878","org":"AS64500"})";

// Deadlines are generous: on a loaded machine the bounds, not the speed, are checked.
struct Lookups {
    explicit Lookups(FakeServices& services)
        : client(40s),
          territory(context, services.territoryBase()),
          location(context, territory, services.ipBase(), QStringLiteral("token")) {}
    QStringList log() const { return state.statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    bool settled() {
        return runUntil([&] { return state.statusColor() == StatusColor::red || state.statusColor() == StatusColor::green; }, 50000);
    }
    DisplayState state{std::nullopt};
    WebClient client;
    LookupContext context{.state = state, .client = client, .keys = [] { return ServiceKeys{"k", {}}; }, .finished = {}};
    TerritoryLookup territory;
    LocationLookup location;
};

std::string territories(std::size_t count, const std::string& name = "N", const std::string& link = "https://t/") {
    std::string body = "[";
    for (std::size_t i = 0; i < count; ++i) {
        if (i) body += ',';
        body += R"({"id":")" + std::to_string(i) + R"(","type":"F","properties":{"name":")" + name +
                R"(","description":")" + link + R"("}})";
    }
    return body + "]";
}

}  // namespace

TEST(HostileServices, RecordsAreBoundedBeforeTheViewSeesThem) {
    struct Case {
        const char* name;
        std::string territoryAnswer;
        StatusColor color;
        std::size_t rows;
        qsizetype longestName;
        qsizetype longestLink = 10;  // -1: not checked
    };
    const Case cases[] = {
        {"a name of 900 KB", territories(1, std::string(900'000, 'x')), StatusColor::green, 1, 200},
        {"a link of 900 KB", territories(1, "N", "https://t/" + std::string(900'000, 'x')), StatusColor::green, 1, 1, 0},
        {"a link of 2,048 characters", territories(1, "N", "https://t/" + std::string(2038, 'x')), StatusColor::green,
         1, 1, 2048},
        {"12,000 territories", territories(12'000), StatusColor::green, 51, 14, -1},
        {"a name of 10 MB", territories(1, std::string(10'000'000, 'x')), StatusColor::red, 0, 0, 0},
        {"20,000 territories", territories(20'000, "Name of a people"), StatusColor::red, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServices services;
        services.setIpAnswer({200, geoAnswer});
        services.setTerritoryAnswer({200, c.territoryAnswer});
        Lookups lookups(services);
        QElapsedTimer timer;
        timer.start();
        lookups.location.loadIPData(QStringLiteral("192.0.2.7"));
        ASSERT_TRUE(lookups.settled());
        std::printf("[ measured ] %s: shown in %lld ms\n", c.name, static_cast<long long>(timer.elapsed()));
        EXPECT_EQ(lookups.state.statusColor(), c.color);
        const auto& rows = lookups.state.territories();
        EXPECT_EQ(rows.size(), c.rows);
        qsizetype longest = 0;
        qsizetype longestLink = 0;
        for (const Territory& row : rows) {
            longest = std::max(longest, row.properties.name.size());
            longestLink = std::max(longestLink, row.properties.description.size());
        }
        EXPECT_EQ(longest, c.longestName);
        if (c.longestLink >= 0) {
            EXPECT_EQ(longestLink, c.longestLink);
        }
        EXPECT_EQ(lookups.log().join(QLatin1Char('\n')).contains(QStringLiteral("Dropped a link of 900010 characters")),
                  c.longestLink == 0 && c.color == StatusColor::green);
        if (c.color == StatusColor::red) {
            EXPECT_EQ(lookups.state.mainText(),
                      QStringLiteral("There was an error fetching territory data: the service's answer was too large."));
            EXPECT_TRUE(lookups.log().contains(QStringLiteral("Fetch failed: answer larger than 1 MiB")));
        }
    }
    // The cut name ends in an ellipsis, and the whole of it stays in the log.
    FakeServices services;
    services.setIpAnswer({200, geoAnswer});
    services.setTerritoryAnswer({200, territories(60, std::string(300, 'y'))});
    Lookups lookups(services);
    lookups.location.loadIPData(QStringLiteral("192.0.2.7"));
    ASSERT_TRUE(lookups.settled());
    const auto& rows = lookups.state.territories();
    ASSERT_EQ(rows.size(), 51u);
    EXPECT_EQ(rows[0].properties.name, QString(199, QLatin1Char('y')) + QChar(0x2026));
    EXPECT_EQ(rows[50].properties.name, QStringLiteral("and 10 more"));
    EXPECT_EQ(rows[50].properties.description, services.territoryBase());
    EXPECT_TRUE(lookups.log().contains(QStringLiteral("Shown cut to 200 characters: ") + QString(300, QLatin1Char('y'))));
}

TEST(HostileServices, ThePositionIsALatitudeAndLongitudeAndNothingMore) {
    struct Case {
        const char* loc;
        std::optional<std::string> sent;  // the position the territory service receives
    };
    const Case cases[] = {
        {"45.5088,-73.5878", "45.5088,-73.5878"},
        {" 45.5088 , -73.5878 ", "45.5088,-73.5878"},
        {"1,2&maps=x", std::nullopt},
        {"1,2 3", std::nullopt},
        {"1;2", std::nullopt},
        {"", std::nullopt},
        {"1e5,2", std::nullopt},
        {"999.999,-999.999", std::nullopt},
        {"90.5,10", std::nullopt},
        {"-90,180", "-90,180"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loc);
        FakeServices services;
        services.setIpAnswer({200, R"({"ip":"192.0.2.7","city":"C","region":"R","country":"X","loc":")" +
                                       std::string(c.loc) + R"(","org":"O"})"});
        services.setTerritoryAnswer({200, "[]"});
        Lookups lookups(services);
        lookups.location.loadIPData(QStringLiteral("192.0.2.7"));
        ASSERT_TRUE(lookups.settled());
        if (c.sent) {
            EXPECT_EQ(services.requests().back(), "territory maps=languages position=" + *c.sent + " key=k");
        } else {
            EXPECT_EQ(services.requests().size(), 1u);  // no territory request at all
            EXPECT_EQ(lookups.log().last(), QStringLiteral("Not a position: nothing sent"));
            EXPECT_EQ(lookups.state.mainText(),
                      QStringLiteral("There was an error fetching territory data: the IP-information service gave a position "
                                     "that is not a latitude and longitude on Earth (%1).")
                          .arg(QString::fromUtf8(c.loc)));
        }
    }
}
