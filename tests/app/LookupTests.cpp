#include "Lookups.h"

#include "FakeServices.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include "QtPrinters.h"


using namespace Tidemark;
using namespace std::chrono_literals;

namespace {

const std::string geoAnswer =
    R"({"ip":"192.0.2.7","hostname":"edge.example.net","city":"Montreal","region":"Quebec","country":"CA",)"
    R"("loc":"45.5088,-73.5878","org":"AS64500 Example","postal":"H2X","timezone":"America/Toronto"})";
const std::string geoWithoutOrg =
    R"({"ip":"192.0.2.7","city":"Montreal","region":"Quebec","country":"CA","loc":"45.5088,-73.5878"})";
const std::string twoTerritories =
    R"([{"id":"t1","type":"Feature","properties":{"name":"Kanien'kehá:ka","description":"https://t.example/k","color":"#a0c"},"geometry":{"type":"Polygon"}},)"
    R"({"id":"t2","type":"Feature","properties":{"name":"Omàmìwininìwak","description":"https://t.example/o"}}])";

const QString foundSentence = QString::fromUtf8(
    "The Zoom stream to your computer is coming from a server with the IP address 192.0.2.7, based in Montreal, "
    "Quebec, CA. The land on which that server sits is the traditional territory of the following people:");

struct Lookups {
    explicit Lookups(const QString& ipBase, const QString& territoryBase, std::chrono::milliseconds timeout = 10s)
        : client(timeout),
          territory(context, territoryBase),
          location(context, territory, ipBase, QStringLiteral("9c2e51b07da38f")) {}

    QStringList log() const { return state.statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    bool waitForLog(qsizetype lines) {
        return QTest::qWaitFor([&] { return log().size() >= lines; }, 10000);
    }
    bool waitForColor(StatusColor color) {
        return QTest::qWaitFor([&] { return state.statusColor() == color; }, 10000);
    }

    DisplayState state{std::nullopt};
    WebClient client;
    LookupContext context{.state = state, .client = client, .keys = [this] { return keys; }, .finished = {}};
    ServiceKeys keys{"territory key", {}};
    TerritoryLookup territory;
    LocationLookup location;
};

}  // namespace

TEST(Lookups, AddressToSentenceAndTerritories) {
    FakeServices services;
    // A service that names another address than the one asked about: the sentence names the captured one.
    services.setIpAnswer({200, QString::fromStdString(geoAnswer).replace("192.0.2.7", "6.6.6.6").toStdString()});
    services.setTerritoryAnswer({200, twoTerritories});
    Lookups lookups(services.ipBase(), services.territoryBase());

    lookups.location.loadIPData(QStringLiteral("192.0.2.7"));
    ASSERT_TRUE(lookups.waitForColor(StatusColor::green));
    EXPECT_EQ(lookups.log(), (QStringList{"Tidemark started", "Loading IP data for 192.0.2.7",
                                          "The service answered for \"6.6.6.6\" when asked about 192.0.2.7: shown as 192.0.2.7",
                                          "Loading territory data for 45.5088,-73.5878"}));
    EXPECT_EQ(services.requests(), (std::vector<std::string>{"ip 192.0.2.7 token=9c2e51b07da38f",
                                                             "territory maps=languages position=45.5088,-73.5878 key=territory key"}));
    EXPECT_EQ(lookups.state.geo().org, QStringLiteral("AS64500 Example"));
    EXPECT_EQ(lookups.state.mainText(), foundSentence);
    ASSERT_EQ(lookups.state.territories().size(), 2u);
    EXPECT_EQ(lookups.state.territories()[0].properties.name, QString::fromUtf8("Kanien'kehá:ka"));
    EXPECT_EQ(lookups.state.territories()[1].properties.description, QStringLiteral("https://t.example/o"));
    EXPECT_FALSE(lookups.state.isLoading());
}

TEST(Lookups, NoTerritoryKnownGivesTheFallbackLink) {
    FakeServices services;
    services.setIpAnswer({200, geoAnswer});
    services.setTerritoryAnswer({200, "[]"});
    Lookups lookups(services.ipBase(), services.territoryBase());
    lookups.location.loadIPData(QStringLiteral("192.0.2.7"));
    ASSERT_TRUE(lookups.waitForColor(StatusColor::green));
    ASSERT_EQ(lookups.state.territories().size(), 1u);
    const Territory& fallback = lookups.state.territories()[0];
    EXPECT_EQ(fallback.id, QStringLiteral("-1"));
    EXPECT_EQ(fallback.properties.name, QStringLiteral("Learn about Native Land"));
    EXPECT_EQ(fallback.properties.description, services.territoryBase());
    EXPECT_EQ(fallback.type, QStringLiteral("null"));
    EXPECT_TRUE(lookups.state.mainText().endsWith(QStringLiteral(
        ", based in Montreal, Quebec, CA. The land on which that server sits is not known to be the traditional "
        "territory of any people. To learn more, please click here:")));
}

TEST(Lookups, BadLocationAnswers) {
    // The window says what went wrong in plain words; the log keeps the status or the decoder's detail.
    struct Case {
        const char* name;
        Answer answer;
        QString logged;
        QString shown;
    };
    const Case cases[] = {
        {"no org", {200, geoWithoutOrg}, "decodedResponse failed", "the service's answer was not valid data"},
        {"error object", {404, R"({"error":{"title":"Wrong ip","message":"Please provide a valid IP address"}})"},
         "The service answered status 404", "the service answered with status 404"},
        {"server error page", {500, "<html><body><h1>500 Internal Server Error</h1></body></html>", "text/html"},
         "The service answered status 500", "the service answered with status 500"},
        {"a location as a 502", {502, geoAnswer}, "The service answered status 502", "the service answered with status 502"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServices services;
        services.setIpAnswer(c.answer);
        Lookups lookups(services.ipBase(), services.territoryBase());
        lookups.location.loadIPData(QStringLiteral("192.0.2.7"));
        ASSERT_TRUE(lookups.waitForColor(StatusColor::red));
        QStringList log = lookups.log();
        EXPECT_EQ(log[1], QStringLiteral("Loading IP data for 192.0.2.7"));
        EXPECT_EQ(log[2], c.logged);
        EXPECT_EQ(lookups.state.mainText(), QStringLiteral("There was an error fetching IP data: ") + c.shown + ".");
        EXPECT_EQ(services.requests().size(), 1u);  // no territory request
        EXPECT_EQ(lookups.state.geo(), Geo{});
    }
}

TEST(Lookups, BadTerritoryAnswersKeepTheTerritories) {
    const char* bodies[] = {
        R"({"id":"t1","type":"Feature","properties":{"name":"n","description":"d"}})",
        R"([{"id":"t1","type":"Feature","properties":{"name":"n"}}])",
    };
    for (const char* body : bodies) {
        SCOPED_TRACE(body);
        FakeServices services;
        services.setIpAnswer({200, geoAnswer});
        services.setTerritoryAnswer({200, body});
        Lookups lookups(services.ipBase(), services.territoryBase());
        std::vector<Territory> earlier{{"x", {"Earlier", "https://e/"}, "Feature"}};
        lookups.state.setTerritories(earlier);
        lookups.location.loadIPData(QStringLiteral("192.0.2.7"));
        ASSERT_TRUE(lookups.waitForColor(StatusColor::red));
        EXPECT_EQ(lookups.log().mid(3, 1), QStringList{"decodedResponse failed"});
        EXPECT_EQ(lookups.log().size(), 5);
        EXPECT_EQ(lookups.state.mainText(),
                  QStringLiteral("There was an error fetching territory data: the service's answer was not valid data."));
        EXPECT_EQ(lookups.state.territories(), earlier);
    }
}

TEST(Lookups, TransportFailures) {
    // One server closes every connection at once, the other never answers.
    QTcpServer closing;
    ASSERT_TRUE(closing.listen(QHostAddress::LocalHost));
    QObject::connect(&closing, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = closing.nextPendingConnection()) {
            socket->readAll();
            socket->close();
            socket->deleteLater();
        }
    });
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QString closingBase = QStringLiteral("http://127.0.0.1:%1/").arg(closing.serverPort());
    const QString silentBase = QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort());

    {
        Lookups lookups(closingBase, closingBase);
        lookups.location.loadIPData(QStringLiteral("192.0.2.7"));
        ASSERT_TRUE(lookups.waitForColor(StatusColor::red));
        ASSERT_EQ(lookups.log().size(), 3);
        EXPECT_TRUE(lookups.log()[2].startsWith(QStringLiteral("Fetch failed: "))) << lookups.log()[2].toStdString();
        EXPECT_GT(lookups.log()[2].size(), QStringLiteral("Fetch failed: ").size());
        EXPECT_EQ(lookups.state.mainText(),
                  QStringLiteral("There was an error fetching IP data: the service's answer broke off."));
    }
    {
        Lookups lookups(silentBase, silentBase, 300ms);
        lookups.location.loadIPData(QStringLiteral("192.0.2.7"));
        EXPECT_EQ(lookups.state.mainText(), DisplayState::lookingUpLocation());  // while the request runs
        EXPECT_EQ(lookups.state.statusColor(), StatusColor::blue);
        ASSERT_TRUE(lookups.waitForColor(StatusColor::red));
        EXPECT_EQ(lookups.log().last(), QStringLiteral("Fetch failed: The request timed out"));
    }
    {
        Lookups lookups(silentBase, silentBase, 300ms);
        lookups.territory.loadTerritoryData(QStringLiteral("1,2"));
        EXPECT_FALSE(lookups.state.isLoading());  // cleared once the request is on its way
        ASSERT_TRUE(lookups.waitForColor(StatusColor::red));
        EXPECT_EQ(lookups.state.mainText(),
                  QStringLiteral("There was an error fetching territory data: the service did not answer in time."));
        EXPECT_EQ(lookups.log(), (QStringList{"Tidemark started", "Loading territory data for 1,2",
                                              "Fetch failed: The request timed out"}));
    }
}

TEST(Lookups, InvalidAddresses) {
    Lookups lookups(QStringLiteral("not a web address/"), QStringLiteral("::nope/"));
    lookups.location.loadIPData(QStringLiteral("192.0.2.7"));
    EXPECT_EQ(lookups.log(), (QStringList{"Tidemark started", "Loading IP data for 192.0.2.7", "Invalid URL"}));
    EXPECT_EQ(lookups.state.statusColor(), StatusColor::orange);
    EXPECT_EQ(lookups.state.mainText(), DisplayState::waitingText());

    lookups.territory.loadTerritoryData(QStringLiteral("1,2"));
    EXPECT_EQ(lookups.log().mid(3), (QStringList{"Loading territory data for 1,2", "Invalid URL"}));
    EXPECT_EQ(lookups.state.mainText(), QStringLiteral("There was an error fetching territory data: Invalid URL."));
    EXPECT_EQ(lookups.state.statusColor(), StatusColor::red);
    EXPECT_TRUE(lookups.state.isLoading());
}

TEST(Lookups, CallsFromACaptureThreadRunOnTheMainThread) {
    FakeServices services;
    services.setIpAnswer({200, geoAnswer});
    services.setTerritoryAnswer({200, twoTerritories});
    Lookups lookups(services.ipBase(), services.territoryBase());
    std::thread([&] {
        lookups.state.appendLog(QStringLiteral("from the capture thread"));
        lookups.location.loadIPData(QStringLiteral("192.0.2.7"));
    }).join();
    ASSERT_TRUE(lookups.waitForColor(StatusColor::green));
    EXPECT_EQ(lookups.log().mid(1), (QStringList{"from the capture thread", "Loading IP data for 192.0.2.7",
                                                 "Loading territory data for 45.5088,-73.5878"}));
}
