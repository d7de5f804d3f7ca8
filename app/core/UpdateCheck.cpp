#include "UpdateCheck.h"

#include <QCoreApplication>
#include <QStringList>
#include <QXmlStreamReader>

namespace Tidemark {

std::optional<std::vector<AppcastItem>> parseAppcast(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    std::vector<AppcastItem> items;
    std::optional<AppcastItem> current;
    bool sawChannel = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QStringView name = reader.name();
            if (name == QLatin1String("channel")) sawChannel = true;
            if (name == QLatin1String("item")) {
                current = AppcastItem{};
            } else if (current && name == QLatin1String("shortVersionString")) {
                current->version = reader.readElementText().trimmed();
            } else if (current && name == QLatin1String("link") && current->link.isEmpty()) {
                current->link = reader.readElementText().trimmed();
            } else if (current && name == QLatin1String("enclosure")) {
                for (const auto& attribute : reader.attributes()) {
                    if (attribute.name() == QLatin1String("shortVersionString") && current->version.isEmpty())
                        current->version = attribute.value().toString().trimmed();
                    if (attribute.name() == QLatin1String("url")) current->link = attribute.value().toString();
                }
            }
        } else if (reader.isEndElement() && reader.name() == QLatin1String("item") && current) {
            if (!current->version.isEmpty()) items.push_back(*current);
            current.reset();
        }
    }
    if (reader.hasError() || !sawChannel) return std::nullopt;
    return items;
}

int compareVersions(const QString& a, const QString& b) {
    const QStringList left = a.split(QLatin1Char('.'));
    const QStringList right = b.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const long long x = i < left.size() ? left[i].toLongLong() : 0;
        const long long y = i < right.size() ? right[i].toLongLong() : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

void UpdateChecker::check(const QString& current, std::function<void(UpdateResult)> completion) {
    auto url = WebClient::validUrl(feedAddress_);
    if (!url) {
        completion({UpdateResult::Kind::failed, {}, {}, QCoreApplication::translate("Tidemark", "The update feed address is not valid.")});
        return;
    }
    client_.get(*url, [current, completion](const WebReply& reply) {
        if (!reply.answered()) {
            completion({UpdateResult::Kind::failed, {}, {}, QCoreApplication::translate("Tidemark", "Could not check for updates: %1").arg(reply.error)});
            return;
        }
        auto items = parseAppcast(reply.body);
        if (!items) {
            completion({UpdateResult::Kind::failed, {}, {}, QCoreApplication::translate("Tidemark", "The update feed could not be read.")});
            return;
        }
        const AppcastItem* newest = nullptr;
        for (const auto& item : *items) {
            if (!newest || compareVersions(item.version, newest->version) > 0) newest = &item;
        }
        if (newest && compareVersions(newest->version, current) > 0) {
            completion({UpdateResult::Kind::available, newest->version, newest->link,
                        QCoreApplication::translate("Tidemark", "Tidemark %1 is available (you have %2).").arg(newest->version, current)});
        } else {
            completion({UpdateResult::Kind::upToDate, current, {},
                        QCoreApplication::translate("Tidemark", "Tidemark %1 is the newest version.").arg(current)});
        }
    });
}

}  // namespace Tidemark
