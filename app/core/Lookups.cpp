#include "Lookups.h"
#include "NetAddress.h"
#include "Scheduler.h"

#include <QLocale>

#include <cmath>
#include <QRegularExpression>
#include <QUrlQuery>

#include <QCoreApplication>

namespace Tidemark {

namespace {

// "%1" is the reason, in the words of plainReason().
QString ipDataFailed() { return QCoreApplication::translate("Tidemark", "There was an error fetching IP data: %1."); }
QString territoryFailed() {
    return QCoreApplication::translate("Tidemark", "There was an error fetching territory data: %1.");
}
QString notValidData() { return QCoreApplication::translate("Tidemark", "the service's answer was not valid data"); }

QString savedOn(const QDateTime& fetched) {
    return QLocale().toString(fetched.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm"));
}

// One lookup's request, through the store of saved answers: a fresh saved answer instead of a request; a
// stale one shown at once and asked again; a failed request falls back to what was saved.
struct Fetch {
    LookupStore::Kind kind;
    QString key;                    // of the saved answer
    std::optional<QUrl> url;        // none: nothing may be sent
    QString cannotAsk;              // why not, in the window's words
    QString cannotAskLog;           // the same for the log, in English
    QString failed;                 // "There was an error fetching IP data: %1."
    QString refused;                // what a 401 or 403 means
    QString lookingUp;              // while the request runs
    std::function<bool(const QByteArray&)> show;  // decodes and shows; false when the body is not valid
    std::function<void()> then;     // after an answer was shown: the next lookup, when there is one
};

void fail(LookupContext& c, const QString& text, LookupOutcome outcome = {}) {
    c.state.setMainText(text);
    c.state.setStatusColor(StatusColor::red);
    if (c.finished) c.finished(outcome);
}

// Shows a body, and goes on to the next lookup when it was one to show.
bool showAndGoOn(const Fetch& f, const QByteArray& body) {
    if (!f.show(body)) return false;
    if (f.then) f.then();
    return true;
}

// What the store holds for a lookup, and whether it was shown: a fresh answer ends the lookup there.
struct Saved {
    std::optional<LookupStore::Answer> answer;
    bool shown = false;
    bool fresh = false;
    // The grey line under a saved answer shown: when it was saved, and why it is not new.
    QString notice(const QString& why) const {
        return QCoreApplication::translate("Tidemark", "Saved answer from %1; %2").arg(savedOn(answer->fetched), why);
    }
};

Saved fromStore(LookupContext& c, const Fetch& f) {
    Saved saved;
    saved.answer = c.store ? c.store->find(f.kind, f.key) : std::nullopt;
    if (saved.answer && saved.answer->fresh) {
        c.state.appendLog(QStringLiteral("Using the answer saved %1: nothing sent").arg(savedOn(saved.answer->fetched)));
        if (showAndGoOn(f, saved.answer->body)) {
            saved.shown = saved.fresh = true;
            return saved;
        }
        saved.answer.reset();  // unreadable after all: ask
    }
    saved.shown = saved.answer && showAndGoOn(f, saved.answer->body);
    if (saved.shown) {
        c.state.appendLog(QStringLiteral("Showing the answer saved %1 while asking again").arg(savedOn(saved.answer->fetched)));
    }
    return saved;
}

// What a reply that could not be shown means: the window's text, the grey line under a saved answer, and
// when to ask again.
struct Verdict {
    QString text;
    QString tail;
    LookupOutcome outcome;
    bool needsKey = false;
};

Verdict judge(const LookupContext& c, const Fetch& f, const WebReply& reply) {
    Verdict v;
    v.text = f.failed.arg(reply.answered() && answeredWell(reply) ? notValidData() : plainReason(reply));
    v.tail = QCoreApplication::translate("Tidemark", "the service could not be reached.");
    if (refusedKey(reply)) {
        v.text = f.refused;
        v.tail = QCoreApplication::translate("Tidemark", "the service refused the request (see Settings).");
        v.outcome.retry = false;  // only a new key helps
        v.needsKey = true;
    } else if (reply.answered() && reply.status == 429) {
        const auto wait = retryWait(reply);
        const QString at = QLocale().toString(c.now().addSecs(wait.count()).toLocalTime(), QStringLiteral("HH:mm"));
        v.text = QCoreApplication::translate("Tidemark", "The service's request limit is reached; Tidemark will try again at %1.")
                     .arg(at);
        v.tail = QCoreApplication::translate("Tidemark", "the service's request limit is reached.");
        v.outcome.retryAfter = wait;
    } else if (answeredWell(reply)) {
        v.tail = QCoreApplication::translate("Tidemark", "the service's answer was not valid data.");
    }
    return v;
}

void onReply(LookupContext& c, const Fetch& f, const Saved& saved, const LookupTicket& ticket, const WebReply& reply) {
    if (c.ticket() != ticket) {
        // The stream moved on (another server, peer to peer, its end) or the lookup was started again:
        // this answer is for what is no longer shown.
        c.state.appendLog(QStringLiteral("An answer for %1 came after the stream moved on: not shown").arg(ticket.server));
        if (answeredWell(reply) && c.store) c.store->put(f.kind, f.key, reply.status, reply.body);
        return;
    }
    if (answeredWell(reply)) {
        if (saved.shown && reply.body == saved.answer->body) {
            if (c.store) c.store->put(f.kind, f.key, reply.status, reply.body);  // the same, newer
            return;
        }
        c.state.setNeedsKey(false);
        if (showAndGoOn(f, reply.body)) {
            if (c.store) c.store->put(f.kind, f.key, reply.status, reply.body);
            return;
        }
    } else if (!reply.answered()) {
        c.state.appendLog(QStringLiteral("Fetch failed: ") + reply.error);
    } else {
        c.state.appendLog(QStringLiteral("The service answered status %1").arg(reply.status));
    }
    const Verdict verdict = judge(c, f, reply);
    if (verdict.needsKey) c.state.setNeedsKey(true);
    if (saved.shown) {
        c.state.setNotice(saved.notice(verdict.tail));
        return;
    }
    fail(c, verdict.text, verdict.outcome);
}

// One lookup: from the store when it holds a fresh answer; a stale one shown at once and asked again; a
// failed request falls back to what was saved.
void fetch(LookupContext& c, Fetch f) {
    const LookupTicket ticket = c.ticket();
    c.state.setNotice({});
    const Saved saved = fromStore(c, f);
    if (saved.fresh) return;
    if (!f.url) {
        c.state.appendLog(f.cannotAskLog);
        if (saved.shown) {
            c.state.setNotice(saved.notice(f.cannotAsk));
            return;
        }
        c.state.setNeedsKey(true);
        fail(c, f.cannotAsk, LookupOutcome{false, false, std::nullopt});
        return;
    }
    if (!saved.shown) {
        c.state.setMainText(f.lookingUp);
        c.state.setStatusColor(StatusColor::blue);
    }
    c.client.get(*f.url, [&c, f, saved, ticket](const WebReply& reply) { onReply(c, f, saved, ticket, reply); });
}

}  // namespace

QString keyVerdict(const WebReply& reply, bool bodyValid) {
    if (refusedKey(reply)) {
        return QCoreApplication::translate("Tidemark", "The service refused this key.");
    }
    if (reply.answered() && reply.status == 429) {
        return QCoreApplication::translate("Tidemark", "The service's request limit is reached; test again later.");
    }
    if (answeredWell(reply)) {
        return bodyValid ? QCoreApplication::translate("Tidemark", "The key works.")
                         : QCoreApplication::translate("Tidemark", "The service answered, but not with valid data.");
    }
    return QCoreApplication::translate("Tidemark", "Could not test the key: %1.").arg(plainReason(reply));
}

bool answeredWell(const WebReply& reply) { return reply.answered() && reply.status / 100 == 2; }

bool refusedKey(const WebReply& reply) { return reply.answered() && (reply.status == 401 || reply.status == 403); }

QString plainReason(const WebReply& reply) {
    switch (reply.failure) {
        case WebReply::Failure::none: break;
        case WebReply::Failure::unreachable:
            return QCoreApplication::translate("Tidemark", "the service could not be reached (is this computer offline?)");
        case WebReply::Failure::timedOut: return QCoreApplication::translate("Tidemark", "the service did not answer in time");
        case WebReply::Failure::tooLarge: return QCoreApplication::translate("Tidemark", "the service's answer was too large");
        case WebReply::Failure::redirect:
            return QCoreApplication::translate("Tidemark", "the service sent the request on to an address Tidemark does not follow");
        case WebReply::Failure::transfer: return QCoreApplication::translate("Tidemark", "the service's answer broke off");
    }
    return QCoreApplication::translate("Tidemark", "the service answered with status %1").arg(reply.status);
}

std::chrono::seconds retryWait(const WebReply& reply) {
    if (!reply.retryAfter) return std::chrono::seconds(60);
    return std::clamp(*reply.retryAfter, std::chrono::seconds(1), std::chrono::seconds(3600));
}

QString TerritoryLookup::needsKey(Audience audience) {
    return text(QT_TRANSLATE_NOOP("Tidemark", "Tidemark needs an API key for the territory service before it can ask it anything. Enter one in Settings (free "
        "from the service's site)."),
                audience);
}
QString TerritoryLookup::keyRefused() {
    return QCoreApplication::translate("Tidemark", "The territory service refused the request: it needs a valid API key. Enter one in Settings (free from the "
        "service's site).");
}
QString LocationLookup::tokenRefused() {
    return QCoreApplication::translate("Tidemark", "The IP-information service refused the request: its token is not valid. Enter another in Settings, or leave "
        "it empty.");
}

TerritoryLookup::TerritoryLookup(LookupContext& context, QString baseAddress, QObject* parent)
    : QObject(parent), c_(context), baseAddress_(std::move(baseAddress)) {}

Territory TerritoryLookup::fallbackEntry() const {
    return Territory{QStringLiteral("-1"), TerritoryProperties{QCoreApplication::translate("Tidemark", "Learn about Native Land"), baseAddress_},
                     QStringLiteral("null")};
}

QString TerritoryLookup::cutToShow(const QString& text) {
    if (text.size() <= maximumTextLength) return text;
    return text.left(maximumTextLength - 1) + QChar(0x2026);
}

QString TerritoryLookup::bounded(const QString& text) const {
    if (text.size() > maximumTextLength) {
        c_.state.appendLog(QStringLiteral("Shown cut to %1 characters: ").arg(maximumTextLength) + text);
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
            c_.state.appendLog(QStringLiteral("Dropped a link of %1 characters, longer than %2: ")
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
                                     TerritoryProperties{QCoreApplication::translate("Tidemark", "and %n more", "peoples not listed",
                                                                                     int(total - maximumRows)),
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
    if (std::abs(match.captured(1).toDouble()) > 90 || std::abs(match.captured(2).toDouble()) > 180) return std::nullopt;
    return match.captured(1) + QLatin1Char(',') + match.captured(2);
}

QString TerritoryLookup::acknowledgement(bool found) const {
    Geo geo = c_.state.geo();
    for (QString* text : {&geo.ip, &geo.city, &geo.region, &geo.country}) *text = bounded(*text);
    return sentenceFor(c_.state.streamSubject(), geo, found);
}

QString TerritoryLookup::sentenceFor(const QString& subject, const Geo& geo, bool found) {
    // One sentence each, so that a translation may order its parts as its language wants: "%1" is how the
    // stream is named ("The Zoom stream"), then the server's address, city, region and country.
    const QString sentence =
        found ? QCoreApplication::translate("Tidemark",
                                            "%1 to your computer is coming from a server with the IP address %2, based in "
                                            "%3, %4, %5. The land on which that server sits is the traditional territory "
                                            "of the following people:")
              : QCoreApplication::translate("Tidemark",
                                            "%1 to your computer is coming from a server with the IP address %2, based in "
                                            "%3, %4, %5. The land on which that server sits is not known to be the "
                                            "traditional territory of any people. To learn more, please click here:");
    return sentence.arg(subject, geo.ip, geo.city, geo.region, geo.country);
}

std::optional<QUrl> TerritoryLookup::requestUrl(const QString& position, const QString& key) const {
    // Each value goes into the query encoded whole: neither can add parameters of its own.
    auto url = WebClient::validUrl(baseAddress_ + QStringLiteral("api/index.php"));
    if (!url || key.isEmpty()) return std::nullopt;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("maps"), QStringLiteral("languages"));
    query.addQueryItem(QStringLiteral("position"), QString::fromUtf8(QUrl::toPercentEncoding(position)));
    query.addQueryItem(QStringLiteral("key"), QString::fromUtf8(QUrl::toPercentEncoding(key)));
    url->setQuery(query);
    return url;
}

void TerritoryLookup::test(const QString& key, std::function<void(QString)> done) {
    // A place whose answer every key can be tested on.
    const auto url = requestUrl(QStringLiteral("45.5,-73.5"), key);
    if (key.isEmpty() || !url) {
        done(QCoreApplication::translate("Tidemark", "Enter a key first."));
        return;
    }
    c_.client.get(*url, [done](const WebReply& reply) {
        done(keyVerdict(reply, std::holds_alternative<std::vector<Territory>>(decodeTerritories(reply.body))));
    });
}

bool TerritoryLookup::show(const QByteArray& body) {
    auto decoded = decodeTerritories(body);
    if (auto* error = std::get_if<DecodingError>(&decoded)) {
        c_.state.appendLog(QStringLiteral("decodedResponse failed"));
        c_.state.appendLog(error->localizedDescription);
        return false;
    }
    auto& received = std::get<std::vector<Territory>>(decoded);
    const bool found = !received.empty();
    c_.state.setTerritories(rowsToShow(std::move(received)));
    c_.state.setMainText(acknowledgement(found));
    c_.state.setStatusColor(StatusColor::green);
    if (c_.finished) c_.finished(LookupOutcome{true, true, std::nullopt});
    return true;
}

void TerritoryLookup::loadTerritoryData(const QString& position) {
    c_.state.appendLog(QStringLiteral("Loading territory data for ") + position);
    const std::optional<QString> normalized = normalizedPosition(position);
    if (!normalized) {
        // Not a latitude and longitude on Earth: nothing is sent.
        c_.state.appendLog(QStringLiteral("Not a position: nothing sent"));
        fail(c_, territoryFailed().arg(
                     QCoreApplication::translate("Tidemark", "the IP-information service gave a position that is not a "
                                                             "latitude and longitude on Earth (%1)")
                         .arg(cutToShow(position))));
        return;
    }
    if (!WebClient::validUrl(baseAddress_ + QStringLiteral("api/index.php"))) {
        c_.state.appendLog(QStringLiteral("Invalid URL"));
        fail(c_, territoryFailed().arg(QCoreApplication::translate("Tidemark", "Invalid URL")));
        return;
    }
    const QString key = c_.keys().territoryKey;
    fetch(c_, Fetch{LookupStore::Kind::territory, *normalized, requestUrl(*normalized, key),
                    key.isEmpty() ? needsKey() : QString(), key.isEmpty() ? needsKey(Audience::log) : QString(),
                    territoryFailed(), keyRefused(),
                    DisplayState::lookingUpTerritory(), [this](const QByteArray& body) { return show(body); }, {}});
    c_.state.setIsLoading(false);
}

LocationLookup::LocationLookup(LookupContext& context, TerritoryLookup& territories, QString baseAddress,
                               QString token, QObject* parent)
    : QObject(parent),
      c_(context),
      territories_(territories),
      baseAddress_(std::move(baseAddress)),
      token_(std::move(token)) {}

void LocationLookup::loadIPData(const QString& address) {
    runOnThreadOf(this, [this, address] { request(address); });
}

std::optional<QUrl> LocationLookup::urlFor(const QString& path, const QString& token) const {
    return WebClient::validUrl(baseAddress_ + path + QStringLiteral("?token=") +
                               QString::fromUtf8(QUrl::toPercentEncoding(token.isEmpty() ? token_ : token)));
}

std::optional<QUrl> LocationLookup::requestUrl(const QString& address, const QString& token) const {
    // An IPv6 address keeps its colons; anything else not allowed in a path is encoded.
    return urlFor(QString::fromUtf8(QUrl::toPercentEncoding(address, ":.")) + QStringLiteral("/json"), token);
}

void LocationLookup::test(const QString& token, std::function<void(QString)> done) {
    const auto url = requestUrl(QStringLiteral("8.8.8.8"), token);
    if (!url) return;
    c_.client.get(*url, [done, ownToken = !token.isEmpty()](const WebReply& reply) {
        // Without a token of the user's, the request carried the one built into Tidemark: say that.
        if (!ownToken && answeredWell(reply)) {
            done(QCoreApplication::translate("Tidemark", "The service answers with Tidemark's own token, shared by every user."));
            return;
        }
        done(keyVerdict(reply, std::holds_alternative<Geo>(decodeGeo(reply.body))));
    });
}

void LocationLookup::askOwnPosition(std::function<void(std::optional<Geo>, QString)> done) {
    // Without an address in the path the service answers for the address the request came from.
    const auto url = urlFor(QStringLiteral("json"), c_.keys().ipInfoToken);
    if (!url) {
        done(std::nullopt, QCoreApplication::translate("Tidemark", "Invalid URL"));
        return;
    }
    c_.state.appendLog(QStringLiteral("Asking the IP-information service where this computer's public address stands"));
    c_.client.get(*url, [done](const WebReply& reply) {
        if (!answeredWell(reply)) {
            done(std::nullopt, refusedKey(reply) ? tokenRefused() : plainReason(reply));
            return;
        }
        auto decoded = decodeGeo(reply.body);
        if (auto* geo = std::get_if<Geo>(&decoded)) {
            done(std::move(*geo), {});
        } else {
            done(std::nullopt, notValidData());
        }
    });
}

bool LocationLookup::show(const QString& address, const QByteArray& body) {
    auto decoded = decodeGeo(body);
    if (auto* error = std::get_if<DecodingError>(&decoded)) {
        c_.state.appendLog(QStringLiteral("decodedResponse failed"));
        c_.state.appendLog(error->localizedDescription);
        return false;
    }
    Geo& geo = std::get<Geo>(decoded);
    // The sentence names the address Tidemark captured and asked about, whatever the answer says it is.
    if (geo.ip != address) {
        c_.state.appendLog(QStringLiteral("The service answered for \"%1\" when asked about %2: shown as %2")
                               .arg(TerritoryLookup::cutToShow(geo.ip), address));
        geo.ip = address;
    }
    c_.state.setGeo(std::move(geo));
    return true;
}

void LocationLookup::request(const QString& address) {
    // A private, loopback or link-local address may be a person's: it never leaves this machine.
    const auto parsed = NetAddress::fromText(address.toStdString());
    if (!parsed || !parsed->isPublic()) {
        c_.state.appendLog(QStringLiteral("Not looking up %1: not a public address").arg(address));
        return;
    }
    c_.state.appendLog(QStringLiteral("Loading IP data for ") + address);
    const auto url = requestUrl(address, c_.keys().ipInfoToken);
    if (!url) {
        c_.state.appendLog(QStringLiteral("Invalid URL"));
        return;
    }
    // Where the server stands, then whose land that is.
    fetch(c_, Fetch{LookupStore::Kind::location, address, url, {}, {}, ipDataFailed(), tokenRefused(),
                    DisplayState::lookingUpLocation(), [this, address](const QByteArray& body) { return show(address, body); },
                    [this] { territories_.loadTerritoryData(c_.state.geo().loc); }});
}

}  // namespace Tidemark
