// Small hostile services on 127.0.0.1: answers without end, answers that trickle, redirects elsewhere,
// huge names, thousands of territories, positions that try to add query parameters.
#include "Lookups.h"
#include "WebClient.h"

#include "FakeServices.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "QtPrinters.h"

using namespace Tidemark;
using namespace std::chrono_literals;

namespace {

// A server whose answers misbehave on purpose.
class HostileServer {
public:
    HostileServer() {
        // Chunks of 64 KiB for as long as anyone reads them.
        server_.Get("/endless", [this](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("application/json", [this](std::size_t, httplib::DataSink& sink) {
                static const std::string chunk(1 << 16, ' ');
                sent_ += chunk.size();
                return sink.write(chunk.data(), chunk.size());
            });
        });
        // One byte a second of a 100-byte answer.
        server_.Get("/trickle", [](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(100, "application/json",
                                          [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                              std::this_thread::sleep_for(1s);
                                              return sink.write("[", 1);
                                          });
        });
        // Says it is 2 MiB long.
        server_.Get("/declared-large", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(2 << 20, ' '), "application/json");
        });
        server_.Get("/ok", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("[]", "application/json");
        });
        server_.Get("/redirect", [](const httplib::Request& request, httplib::Response& response) {
            response.set_redirect(request.get_param_value("to"));
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(1ms);
    }
    ~HostileServer() {
        server_.stop();
        thread_.join();
    }
    QUrl url(const QString& path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path)); }
    QUrl redirect(const QString& to) const {
        QUrl target = url(QStringLiteral("/redirect"));
        target.setQuery(QStringLiteral("to=") + QString::fromUtf8(QUrl::toPercentEncoding(to)));
        return target;
    }
    std::size_t sent() const { return sent_; }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::atomic<std::size_t> sent_{0};
};

struct Fetched {
    std::optional<QByteArray> body;
    QString error;
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
    client.get(url, [&](std::optional<QByteArray> body, QString error) {
        result = {std::move(body), std::move(error), true};
    });
    EXPECT_TRUE(runUntil([&] { return result.done; }, waitMs)) << url.toString().toStdString();
    return result;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

}  // namespace

TEST(HostileServices, AnEndlessAnswerStopsAtTheBodyLimit) {
    HostileServer server;
    WebClient client(60s);
    const long before = residentKiB();
    Fetched result = fetch(client, server.url("/endless"), 60000);
    EXPECT_FALSE(result.body);
    EXPECT_EQ(result.error, QStringLiteral("answer larger than 1 MiB"));
    // Bounded: nowhere near what an unbounded client keeps (gigabytes within seconds); the margin is for
    // the sanitizers' own memory.
    EXPECT_LT(residentKiB() - before, 256 * 1024);
    EXPECT_LT(server.sent(), std::size_t{64} << 20);

    Fetched declared = fetch(client, server.url("/declared-large"));
    EXPECT_EQ(declared.error, QStringLiteral("answer larger than 1 MiB"));
}

TEST(HostileServices, ATrickleFailsAtTheDeadline) {
    // The deadline counts from sending to the last byte: a byte a second does not keep it alive.
    HostileServer server;
    WebClient client(1500ms);
    QElapsedTimer timer;
    timer.start();
    Fetched result = fetch(client, server.url("/trickle"));
    EXPECT_FALSE(result.body);
    EXPECT_EQ(result.error, WebClient::timedOut);
    EXPECT_GE(timer.elapsed(), 1400);
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST(HostileServices, RedirectsOnlyToHttpsOrTheSameService) {
    HostileServer server;
    WebClient client(10s);
    const QString self = server.url("/ok").toString();
    // Followed: the same scheme, host and port.
    Fetched same = fetch(client, server.redirect(self));
    ASSERT_TRUE(same.body) << same.error.toStdString();
    EXPECT_EQ(*same.body, "[]");
    // Refused: plain http elsewhere, and file addresses.
    for (const QString& target : {QStringLiteral("http://127.0.0.2:1/x"), QStringLiteral("file:///etc/passwd")}) {
        Fetched refused = fetch(client, server.redirect(target));
        EXPECT_FALSE(refused.body);
        EXPECT_TRUE(refused.error.startsWith(QStringLiteral("refused a redirect to a "))) << refused.error.toStdString();
    }
    EXPECT_TRUE(WebClient::redirectAllowed(QUrl("http://a.example/"), QUrl("https://b.example/")));
    EXPECT_FALSE(WebClient::redirectAllowed(QUrl("http://a.example/"), QUrl("http://a.example:81/")));
    EXPECT_FALSE(WebClient::redirectAllowed(QUrl("https://a.example/"), QUrl("http://a.example/")));
}

namespace {

const std::string geoAnswer =
    R"({"ip":"192.0.2.7","city":"Montreal","region":"Quebec","country":"CA","loc":"45.5088,-73.5878","org":"AS64500"})";

struct Lookups {
    explicit Lookups(FakeServices& services)
        : client(10s),
          territory(state, client, services.territoryBase()),
          location(state, client, territory, services.ipBase(), QStringLiteral("token")) {}
    QStringList log() const { return state.statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    bool settled() {
        return runUntil([&] { return state.statusColor() != StatusColor::orange; }, 20000);
    }
    DisplayState state{std::nullopt};
    WebClient client;
    TerritoryLookup territory;
    LocationLookup location;
};

std::string territories(std::size_t count, const std::string& name = "N") {
    std::string body = "[";
    for (std::size_t i = 0; i < count; ++i) {
        if (i) body += ',';
        body += R"({"id":")" + std::to_string(i) + R"(","type":"F","properties":{"name":")" + name +
                R"(","description":"https://t/"}})";
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
    };
    const Case cases[] = {
        {"a name of 900 KB", territories(1, std::string(900'000, 'x')), StatusColor::green, 1, 200},
        {"12,000 territories", territories(12'000), StatusColor::green, 51, 14},
        {"a name of 10 MB", territories(1, std::string(10'000'000, 'x')), StatusColor::red, 0, 0},
        {"20,000 territories", territories(20'000, "Name of a people"), StatusColor::red, 0, 0},
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
        for (const Territory& row : rows) longest = std::max(longest, row.properties.name.size());
        EXPECT_EQ(longest, c.longestName);
        if (c.color == StatusColor::red) {
            EXPECT_EQ(lookups.state.mainText(),
                      QStringLiteral("There was an error fetching territory data: answer larger than 1 MiB."));
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

TEST(HostileServices, ThePositionIsTwoNumbersAndNothingMore) {
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
            EXPECT_EQ(services.requests().back(), "territory maps=languages position=" + *c.sent);
        } else {
            EXPECT_EQ(services.requests().size(), 1u);  // no territory request at all
            EXPECT_EQ(lookups.log().last(), QStringLiteral("Invalid URL"));
            EXPECT_EQ(lookups.state.mainText(), QStringLiteral("There was an error fetching territory data: Invalid URL."));
        }
    }
}
