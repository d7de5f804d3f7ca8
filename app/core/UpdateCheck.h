#pragma once

#include "WebClient.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace Tidemark {

// One release in an appcast feed.
struct AppcastItem {
    QString version;  // short version string
    QString link;     // download or release page
};

// The items of an RSS appcast; an item's version comes from <sparkle:shortVersionString> or the
// enclosure's sparkle:shortVersionString attribute, its link from the enclosure url or <link>.
std::optional<std::vector<AppcastItem>> parseAppcast(const QByteArray& xml);

// Compares dotted version texts number by number ("1.10" is after "1.9"); missing parts count as 0.
int compareVersions(const QString& a, const QString& b);

struct UpdateResult {
    enum class Kind { upToDate, available, failed } kind = Kind::failed;
    QString version;  // newest version, when available
    QString link;
    QString message;  // for the user
};

// Fetches the feed and tells whether a version newer than `current` exists.
class UpdateChecker {
public:
    UpdateChecker(WebClient& client, QString feedAddress) : client_(client), feedAddress_(std::move(feedAddress)) {}

    void check(const QString& current, std::function<void(UpdateResult)> completion);

private:
    WebClient& client_;
    QString feedAddress_;
};

}  // namespace Tidemark
