#include "InfoDictionary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>

namespace Tidemark {

InfoDictionary InfoDictionary::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
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
