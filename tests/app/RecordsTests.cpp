#include "Records.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include "QtPrinters.h"

using namespace Tidemark;

namespace {
const char* const fullGeo =
    R"({"ip":"192.0.2.7","hostname":"edge.example.net","city":"Montreal","region":"Quebec","country":"CA",)"
    R"("loc":"45.5088,-73.5878","org":"AS64500 Example","postal":"H2X","timezone":"America/Toronto"})";
}

TEST(GeoDecoding, StrictKeysAndTypes) {
    auto ok = decodeGeo(fullGeo);
    ASSERT_TRUE(std::holds_alternative<Geo>(ok));
    EXPECT_EQ(std::get<Geo>(ok), (Geo{"192.0.2.7", "45.5088,-73.5878", "Montreal", "Quebec", "CA", "AS64500 Example"}));

    struct Case {
        const char* json;
        const char* mentions;
    };
    const Case failures[] = {
        {R"({"ip":"1","loc":"2","city":"3","region":"4","country":"5"})", "\"org\""},
        {R"({"ip":"1","loc":"2","city":"3","region":"4","country":"5","org":null})", "null"},
        {R"({"ip":1,"loc":"2","city":"3","region":"4","country":"5","org":"6"})", "a number"},
        {R"({"error":{"title":"Wrong ip","message":"Please provide a valid IP address"}})", "\"ip\""},
        {"<html><body>500 Internal Server Error</body></html>", "not valid JSON"},
        {"", "not valid JSON"},
        {R"([{"ip":"1"}])", "array"},
    };
    for (const auto& c : failures) {
        auto decoded = decodeGeo(c.json);
        ASSERT_TRUE(std::holds_alternative<DecodingError>(decoded)) << c.json;
        EXPECT_TRUE(std::get<DecodingError>(decoded).localizedDescription.contains(QLatin1String(c.mentions)))
            << c.json << " -> " << std::get<DecodingError>(decoded).localizedDescription.toStdString();
    }
}

TEST(TerritoryDecoding, WholeListFailsWithAnyBadElement) {
    const char* two =
        R"([{"id":"a1","type":"Feature","properties":{"name":"Kanien'kehá:ka","description":"https://t.example/a","color":"#fff"}},)"
        R"({"id":"b2","type":"Feature","properties":{"name":"Second","description":"https://t.example/b"},"geometry":{}}])";
    auto decoded = decodeTerritories(two);
    ASSERT_TRUE(std::holds_alternative<std::vector<Territory>>(decoded));
    const auto& list = std::get<std::vector<Territory>>(decoded);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].properties.name, QString::fromUtf8("Kanien'kehá:ka"));
    EXPECT_EQ(list[1].id, QStringLiteral("b2"));
    EXPECT_TRUE(std::get<std::vector<Territory>>(decodeTerritories("[]")).empty());

    const char* failures[] = {
        R"({"id":"a1","type":"Feature","properties":{"name":"n","description":"d"}})",
        R"([{"id":"a1","type":"Feature","properties":{"name":"n","description":"d"}},{"id":"b","type":"F","properties":{"name":"n"}}])",
        R"([{"id":"a1","type":"Feature","properties":"n"}])",
        R"([{"id":7,"type":"Feature","properties":{"name":"n","description":"d"}}])",
        R"([{"id":"a1","properties":{"name":"n","description":"d"}}])",
        R"(["a"])",
    };
    for (const char* json : failures) {
        EXPECT_TRUE(std::holds_alternative<DecodingError>(decodeTerritories(json))) << json;
    }
    auto missing = decodeTerritories(failures[1]);
    EXPECT_EQ(std::get<DecodingError>(missing).localizedDescription,
              QStringLiteral("No value for key \"description\" in element 1.properties."));
}

TEST(RecordEncoding, UsesTheSameKeys) {
    Geo geo{"ip", "loc", "city", "region", "country", "org"};
    auto back = decodeGeo(QJsonDocument(encode(geo)).toJson());
    EXPECT_EQ(std::get<Geo>(back), geo);
    Territory territory{"1", {"name", "https://x/"}, "Feature"};
    QJsonArray array{encode(territory)};
    auto list = decodeTerritories(QJsonDocument(array).toJson());
    EXPECT_EQ(std::get<std::vector<Territory>>(list), std::vector<Territory>{territory});
}
