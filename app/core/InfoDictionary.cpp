#include "InfoDictionary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>

namespace Tidemark {

InfoDictionary InfoDictionary::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    // A few keys: anything near this size is not the application's file.
    constexpr qint64 limit = 64 * 1024;
    const QByteArray bytes = file.read(limit + 1);
    if (bytes.size() > limit) return {};
    return parse(bytes);
}

InfoDictionary InfoDictionary::parse(const QByteArray& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject()) return {};
    return InfoDictionary(document.object());
}

InfoDictionary InfoDictionary::forApplication() {
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& path : {dir + QStringLiteral("/Info.json"),
                                QDir::cleanPath(dir + QStringLiteral("/../share/tidemark/Info.json"))}) {
        if (QFile::exists(path)) return load(path);
    }
    return {};
}

std::optional<QString> InfoDictionary::string(const QString& key) const {
    const QJsonValue value = values_.value(key);
    if (!value.isString()) return std::nullopt;
    return value.toString();
}

}  // namespace Tidemark
