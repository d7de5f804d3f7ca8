#include "Lookups.h"
#include "Scheduler.h"

#include <QRegularExpression>
#include <QUrlQuery>

namespace Tidemark {

namespace {
const QString ipDataFailed = QStringLiteral("There was an error fetching IP data: ");
const QString territoryFailed = QStringLiteral("There was an error fetching territory data: ");
const QString notValidData = QStringLiteral("the service's answer was not valid data");

// The service and status of an answer that was not a success, for the log.
QString statusLine(const WebReply& reply) { return QStringLiteral("The service answered status %1").arg(reply.status); }
}  // namespace

bool answeredWell(const WebReply& reply) { return reply.answered() && reply.status / 100 == 2; }

QString plainReason(const WebReply& reply) {
    switch (reply.failure) {
        case WebReply::Failure::none: break;
        case WebReply::Failure::unreachable:
            return QStringLiteral("the service could not be reached (is this computer offline?)");
        case WebReply::Failure::timedOut: return QStringLiteral("the service did not answer in time");
        case WebReply::Failure::tooLarge: return QStringLiteral("the service's answer was too large");
        case WebReply::Failure::redirect:
            return QStringLiteral("the service sent the request on to an address Tidemark does not follow");
        case WebReply::Failure::transfer: return QStringLiteral("the service's answer broke off");
    }
    return QStringLiteral("the service answered with status %1").arg(reply.status);
}

TerritoryLookup::TerritoryLookup(DisplayState& state, WebClient& client, QString baseAddress, QObject* parent)
    : QObject(parent), state_(state), client_(client), baseAddress_(std::move(baseAddress)) {}

Territory TerritoryLookup::fallbackEntry() const {
    return Territory{QStringLiteral("-1"), TerritoryProperties{QStringLiteral("Learn about Native Land"), baseAddress_},
                     QStringLiteral("null")};
}

QString TerritoryLookup::cutToShow(const QString& text) {
    if (text.size() <= maximumTextLength) return text;
    return text.left(maximumTextLength - 1) + QChar(0x2026);
}

QString TerritoryLookup::bounded(const QString& text) const {
    if (text.size() > maximumTextLength) {
        state_.appendLog(QStringLiteral("Shown cut to %1 characters: ").arg(maximumTextLength) + text);
    }
    return cutToShow(text);
}

std::vector<Territory> TerritoryLookup::rowsToShow(std::vector<Territory> received) const {
    if (received.empty()) return {fallbackEntry()};
    const std::size_t total = received.size();
    if (total > maximumRows) received.resize(maximumRows);
    for (Territory& territory : received) {
        QString& link = territory.properties.description;
        if (link.size() > maximumLinkLength) {
            state_.appendLog(QStringLiteral("Dropped a link of %1 characters, longer than %2: ")
                                 .arg(link.size())
                                 .arg(maximumLinkLength) +
                             link.left(maximumLinkLength) + QChar(0x2026));
            link.clear();
        }
        territory.properties.name = bounded(territory.properties.name);
    }
    if (total > maximumRows) {
        // The rest, as one row leading to the service.
        received.push_back(Territory{QStringLiteral("more"),
                                     TerritoryProperties{QStringLiteral("and %1 more").arg(total - maximumRows),
                                                         baseAddress_},
                                     QStringLiteral("null")});
    }
    return received;
}

std::optional<QString> TerritoryLookup::normalizedPosition(const QString& loc) {
    static const QRegularExpression position(
        QStringLiteral(R"(^\s*(-?\d{1,3}(?:\.\d{1,15})?)\s*,\s*(-?\d{1,3}(?:\.\d{1,15})?)\s*$)"));
    const QRegularExpressionMatch match = position.match(loc);
    if (!match.hasMatch()) return std::nullopt;
    return match.captured(1) + QLatin1Char(',') + match.captured(2);
}

QString TerritoryLookup::acknowledgement(bool found) const {
    const Geo& geo = state_.geo();
    return QStringLiteral("The Zoom stream to your computer is coming from a server with the IP address ") +
           bounded(geo.ip) + QStringLiteral(", based in ") + bounded(geo.city) + QStringLiteral(", ") +
           bounded(geo.region) + QStringLiteral(", ") + bounded(geo.country) +
           (found ? QStringLiteral(". The land on which that server sits is the traditional territory of the "
                                   "following people:")
                  : QStringLiteral(". The land on which that server sits is not known to be the traditional "
                                   "territory of any people. To learn more, please click here:"));
}

void TerritoryLookup::fail(const QString& reason) {
    state_.setMainText(territoryFailed + reason + QStringLiteral("."));
    state_.setStatusColor(StatusColor::red);
    if (finished_) finished_({false});
}

void TerritoryLookup::loadTerritoryData(const QString& position) {
    state_.appendLog(QStringLiteral("Loading territory data for ") + position);
    // The position goes into the query as one encoded value: it cannot add parameters of its own.
    const std::optional<QString> normalized = normalizedPosition(position);
    auto url = WebClient::validUrl(baseAddress_ + QStringLiteral("api/index.php"));
    if (url && normalized) {
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("maps"), QStringLiteral("languages"));
        query.addQueryItem(QStringLiteral("position"), QString::fromUtf8(QUrl::toPercentEncoding(*normalized)));
        url->setQuery(query);
    }
    if (!url || !normalized) {
        state_.appendLog(QStringLiteral("Invalid URL"));
        fail(QStringLiteral("Invalid URL"));
        return;
    }
    state_.setMainText(DisplayState::lookingUpTerritory);
    state_.setStatusColor(StatusColor::blue);
    client_.get(*url, [this](const WebReply& reply) {
        if (!reply.answered()) {
            state_.appendLog(QStringLiteral("Fetch failed: ") + reply.error);
            fail(plainReason(reply));
            return;
        }
        if (!answeredWell(reply)) {
            state_.appendLog(statusLine(reply));
            fail(plainReason(reply));
            return;
        }
        auto decoded = decodeTerritories(reply.body);
        if (auto* error = std::get_if<DecodingError>(&decoded)) {
            state_.appendLog(QStringLiteral("decodedResponse failed"));
            state_.appendLog(error->localizedDescription);
            fail(notValidData);
            return;
        }
        auto& received = std::get<std::vector<Territory>>(decoded);
        const bool found = !received.empty();
        state_.setTerritories(rowsToShow(std::move(received)));
        state_.setMainText(acknowledgement(found));
        state_.setStatusColor(StatusColor::green);
        if (finished_) finished_({true});
    });
    state_.setIsLoading(false);
}

LocationLookup::LocationLookup(DisplayState& state, WebClient& client, TerritoryLookup& territories,
                               QString baseAddress, QString token, QObject* parent)
    : QObject(parent),
      state_(state),
      client_(client),
      territories_(territories),
      baseAddress_(std::move(baseAddress)),
      token_(std::move(token)) {}

void LocationLookup::loadIPData(const QString& address) {
    runOnThreadOf(this, [this, address] { request(address); });
}

void LocationLookup::fail(const QString& reason) {
    state_.setMainText(ipDataFailed + reason + QStringLiteral("."));
    state_.setStatusColor(StatusColor::red);
    if (finished_) finished_({false});
}

void LocationLookup::request(const QString& address) {
    state_.appendLog(QStringLiteral("Loading IP data for ") + address);
    auto url = WebClient::validUrl(baseAddress_ + address + QStringLiteral("/json?token=") + token_);
    if (!url) {
        state_.appendLog(QStringLiteral("Invalid URL"));
        return;
    }
    state_.setMainText(DisplayState::lookingUpLocation);
    state_.setStatusColor(StatusColor::blue);
    client_.get(*url, [this](const WebReply& reply) {
        if (!reply.answered()) {
            state_.appendLog(QStringLiteral("Fetch failed: ") + reply.error);
            fail(plainReason(reply));
            return;
        }
        if (!answeredWell(reply)) {
            state_.appendLog(statusLine(reply));
            fail(plainReason(reply));
            return;
        }
        auto decoded = decodeGeo(reply.body);
        if (auto* error = std::get_if<DecodingError>(&decoded)) {
            state_.appendLog(QStringLiteral("decodedResponse failed"));
            state_.appendLog(error->localizedDescription);
            fail(notValidData);
            return;
        }
        Geo& geo = std::get<Geo>(decoded);
        const QString position = geo.loc;
        state_.setGeo(std::move(geo));
        territories_.loadTerritoryData(position);
    });
}

}  // namespace Tidemark
