#include "Records.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace Tidemark {

namespace {

const char* typeName(const QJsonValue& value) {
    switch (value.type()) {
        case QJsonValue::Null: return "null";
        case QJsonValue::Bool: return "a boolean";
        case QJsonValue::Double: return "a number";
        case QJsonValue::String: return "a string";
        case QJsonValue::Array: return "an array";
        case QJsonValue::Object: return "an object";
        case QJsonValue::Undefined: return "nothing";
    }
    return "nothing";
}

// Reads one member; on failure leaves a description of what is wrong at `path`.
class ObjectReader {
public:
    ObjectReader(const QJsonObject& object, QString path) : object_(object), path_(std::move(path)) {}

    QString string(const QString& key) {
        const QJsonValue value = member(key);
        if (!error_.isEmpty()) return {};
        if (!value.isString()) {
            fail(QStringLiteral("Expected a string for key \"%1\"%2 but found %3.")
                     .arg(key, where(), QString::fromLatin1(typeName(value))));
            return {};
        }
        return value.toString();
    }

    QJsonObject object(const QString& key) {
        const QJsonValue value = member(key);
        if (!error_.isEmpty()) return {};
        if (!value.isObject()) {
            fail(QStringLiteral("Expected an object for key \"%1\"%2 but found %3.")
                     .arg(key, where(), QString::fromLatin1(typeName(value))));
            return {};
        }
        return value.toObject();
    }

    const QString& error() const { return error_; }
    void fail(const QString& error) {
        if (error_.isEmpty()) error_ = error;
    }

private:
    QJsonValue member(const QString& key) {
        if (!error_.isEmpty()) return {};
        if (!object_.contains(key)) {
            fail(QStringLiteral("No value for key \"%1\"%2.").arg(key, where()));
            return {};
        }
        return object_.value(key);
    }
    QString where() const { return path_.isEmpty() ? QString() : QStringLiteral(" in ") + path_; }

    const QJsonObject& object_;
    QString path_;
    QString error_;
};

std::variant<QJsonDocument, DecodingError> parse(const QByteArray& json) {
    QJsonParseError parseError{};
    QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return DecodingError{QStringLiteral("The data is not valid JSON: %1 at offset %2.")
                                 .arg(parseError.errorString())
                                 .arg(parseError.offset)};
    }
    return document;
}

Decoded<Territory> decodeTerritory(const QJsonValue& value, const QString& path) {
    if (!value.isObject()) {
        return DecodingError{
            QStringLiteral("Expected an object at %1 but found %2.").arg(path, QString::fromLatin1(typeName(value)))};
    }
    const QJsonObject object = value.toObject();
    ObjectReader reader(object, path);
    Territory territory;
    territory.id = reader.string(QStringLiteral("id"));
    const QJsonObject properties = reader.object(QStringLiteral("properties"));
    if (reader.error().isEmpty()) {
        ObjectReader inner(properties, path + QStringLiteral(".properties"));
        territory.properties.name = inner.string(QStringLiteral("name"));
        territory.properties.description = inner.string(QStringLiteral("description"));
        if (!inner.error().isEmpty()) reader.fail(inner.error());
    }
    territory.type = reader.string(QStringLiteral("type"));
    if (!reader.error().isEmpty()) return DecodingError{reader.error()};
    return territory;
}

}  // namespace

Decoded<Geo> decodeGeo(const QByteArray& json) {
    auto parsed = parse(json);
    if (auto* error = std::get_if<DecodingError>(&parsed)) return *error;
    const QJsonDocument& document = std::get<QJsonDocument>(parsed);
    if (!document.isObject()) return DecodingError{QStringLiteral("Expected an object but found an array.")};
    const QJsonObject object = document.object();
    ObjectReader reader(object, {});
    Geo geo;
    geo.ip = reader.string(QStringLiteral("ip"));
    geo.loc = reader.string(QStringLiteral("loc"));
    geo.city = reader.string(QStringLiteral("city"));
    geo.region = reader.string(QStringLiteral("region"));
    geo.country = reader.string(QStringLiteral("country"));
    geo.org = reader.string(QStringLiteral("org"));
    if (!reader.error().isEmpty()) return DecodingError{reader.error()};
    return geo;
}

Decoded<std::vector<Territory>> decodeTerritories(const QByteArray& json) {
    auto parsed = parse(json);
    if (auto* error = std::get_if<DecodingError>(&parsed)) return *error;
    const QJsonDocument& document = std::get<QJsonDocument>(parsed);
    if (!document.isArray()) return DecodingError{QStringLiteral("Expected an array but found an object.")};
    std::vector<Territory> territories;
    const QJsonArray array = document.array();
    territories.reserve(static_cast<std::size_t>(array.size()));
    for (qsizetype i = 0; i < array.size(); ++i) {
        auto decoded = decodeTerritory(array.at(i), QStringLiteral("element %1").arg(i));
        if (auto* error = std::get_if<DecodingError>(&decoded)) return *error;
        territories.push_back(std::get<Territory>(std::move(decoded)));
    }
    return territories;
}

QJsonObject encode(const Geo& geo) {
    return QJsonObject{{"ip", geo.ip},         {"loc", geo.loc},          {"city", geo.city},
                       {"region", geo.region}, {"country", geo.country}, {"org", geo.org}};
}

QJsonObject encode(const Territory& territory) {
    return QJsonObject{
        {"id", territory.id},
        {"properties",
         QJsonObject{{"name", territory.properties.name}, {"description", territory.properties.description}}},
        {"type", territory.type}};
}

}  // namespace Tidemark
