#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <variant>
#include <vector>

namespace Tidemark {

// Where a server stands, as the IP-information service describes it.
struct Geo {
    QString ip;
    QString loc;
    QString city;
    QString region;
    QString country;
    QString org;

    friend bool operator==(const Geo&, const Geo&) = default;
};

struct TerritoryProperties {
    QString name;
    QString description;

    friend bool operator==(const TerritoryProperties&, const TerritoryProperties&) = default;
};

// One territory from the territory service.
struct Territory {
    QString id;
    TerritoryProperties properties;
    QString type;

    friend bool operator==(const Territory&, const Territory&) = default;
};

// Why JSON did not decode, in words a person can read.
struct DecodingError {
    QString localizedDescription;
};

template <typename T>
using Decoded = std::variant<T, DecodingError>;

// Strict decoding: every key required and of its type; other keys ignored.
Decoded<Geo> decodeGeo(const QByteArray& json);
Decoded<std::vector<Territory>> decodeTerritories(const QByteArray& json);

QJsonObject encode(const Geo& geo);
QJsonObject encode(const Territory& territory);

}  // namespace Tidemark
