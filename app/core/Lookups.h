#pragma once

#include "DisplayState.h"
#include "LookupStore.h"
#include "ServiceKeys.h"
#include "Translations.h"
#include "WebClient.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace Tidemark {

// How a lookup ended, for whoever tries it again.
struct LookupOutcome {
    bool succeeded = false;
    bool retry = true;                               // false: only a change of key can help
    std::optional<std::chrono::seconds> retryAfter;  // the service said when to ask again
};
using LookupFinished = std::function<void(const LookupOutcome&)>;

// A failed request in words for the window ("the service answered with status 500"); the technical
// detail is the log's.
QString plainReason(const WebReply& reply);
// Whether the service answered with a body worth decoding (a 2xx status).
bool answeredWell(const WebReply& reply);
// Whether the service refused the request's key or token (401 or 403).
bool refusedKey(const WebReply& reply);
// What one test request's reply says about a key, in words for the user.
QString keyVerdict(const WebReply& reply, bool bodyValid);

// How long a service's Retry-After asks to wait, held to between 1 s and an hour; a minute when it says
// nothing.
std::chrono::seconds retryWait(const WebReply& reply);

// What a lookup was made for: the server shown when it started, and which of its lookups it was. An
// answer whose ticket is no longer current changes nothing and starts nothing.
struct LookupTicket {
    QString server;
    unsigned generation = 0;
    friend bool operator==(const LookupTicket&, const LookupTicket&) = default;
};

// What the two lookups share: the state they write, the web client, the store of saved answers, the
// keys, who hears how a lookup ended, and what the lookup in progress is for.
struct LookupContext {
    DisplayState& state;
    WebClient& client;
    LookupStore* store = nullptr;                   // none: nothing is saved
    std::function<ServiceKeys()> keys = [] { return ServiceKeys{}; };
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
    LookupFinished finished;
    std::function<LookupTicket()> ticket = [] { return LookupTicket{}; };
};

// Asks the territory service on whose territory a position lies, and composes the sentence.
// What the services answer is bounded before the view shows it: texts cut to 200 characters (the full
// text goes to the log), links longer than 2,048 characters dropped (the name is shown without one), at
// most 50 territory rows and a last row for the rest.
class TerritoryLookup : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype maximumTextLength = 200;
    static constexpr std::size_t maximumRows = 50;
    static constexpr qsizetype maximumLinkLength = 2048;
    static QString needsKey(Audience audience = Audience::user);
    static QString keyRefused();

    // `baseAddress` is the service's home page, ending in "/".
    TerritoryLookup(LookupContext& context, QString baseAddress, QObject* parent = nullptr);

    void loadTerritoryData(const QString& position);

    // Shown as the one link when the service knows no territory for the place.
    Territory fallbackEntry() const;
    QString acknowledgement(bool found) const;
    // The sentence for a stream named `subject` from a server at `geo`, whose texts are already bounded.
    static QString sentenceFor(const QString& subject, const Geo& geo, bool found);
    // The rows the view shows for what the service answered.
    std::vector<Territory> rowsToShow(std::vector<Territory> received) const;
    // The address of one request for `position` with `key`, or none when either cannot be sent.
    std::optional<QUrl> requestUrl(const QString& position, const QString& key) const;
    // Asks the service once with `key`, about a known place; `done` hears what the answer says of the key.
    void test(const QString& key, std::function<void(QString verdict)> done);

    // A position as the territory service takes it: a latitude (-90 to 90) and a longitude (-180 to 180)
    // as decimal numbers joined by a comma (blanks around them dropped); none for anything else.
    static std::optional<QString> normalizedPosition(const QString& loc);
    // The text, or its first 199 characters and an ellipsis.
    static QString cutToShow(const QString& text);

private:
    // Decodes and shows an answer; false when it is not a list of territories.
    bool show(const QByteArray& body);
    // cutToShow(), logging a cut text whole.
    QString bounded(const QString& text) const;

    LookupContext& c_;
    QString baseAddress_;
};

// Asks the IP-information service where a server stands, then looks up its territory.
class LocationLookup : public QObject {
    Q_OBJECT

public:
    static QString tokenRefused();

    // Requests go to baseAddress + address + "/json?token=" + the user's token, or `token` without one.
    LocationLookup(LookupContext& context, TerritoryLookup& territories, QString baseAddress, QString token,
                   QObject* parent = nullptr);

    // Safe from any thread: the request is made on the lookup's own thread.
    void loadIPData(const QString& address);
    // The address of one request for `address` with `token` (the build's when empty).
    std::optional<QUrl> requestUrl(const QString& address, const QString& token) const;
    // Asks the service once with `token` (the build's when empty); `done` hears what the answer says.
    void test(const QString& token, std::function<void(QString verdict)> done);
    // Asks the service once where this computer's own public address stands (the service sees that
    // address, as it sees every request's); `done` hears the answer, or why there is none in words.
    void askOwnPosition(std::function<void(std::optional<Geo>, QString why)> done);

private:
    // baseAddress + `path` + "?token=" + `token` (the build's when empty), each encoded.
    std::optional<QUrl> urlFor(const QString& path, const QString& token) const;
    void request(const QString& address);
    bool show(const QString& address, const QByteArray& body);

    LookupContext& c_;
    TerritoryLookup& territories_;
    QString baseAddress_;
    QString token_;
};

}  // namespace Tidemark
