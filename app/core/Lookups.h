#pragma once

#include "DisplayState.h"
#include "WebClient.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace Tidemark {

// How a lookup ended, for whoever tries it again.
struct LookupOutcome {
    bool succeeded = false;
};
using LookupFinished = std::function<void(const LookupOutcome&)>;

// A failed request in words for the window ("the service answered with status 500"); the technical
// detail is the log's.
QString plainReason(const WebReply& reply);
// Whether the service answered with a body worth decoding (a 2xx status).
bool answeredWell(const WebReply& reply);

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

    // `baseAddress` is the service's home page, ending in "/".
    TerritoryLookup(DisplayState& state, WebClient& client, QString baseAddress, QObject* parent = nullptr);

    void loadTerritoryData(const QString& position);
    // Called once per lookup when it ends, succeeded or failed.
    void setFinished(LookupFinished finished) { finished_ = std::move(finished); }

    // Shown as the one link when the service knows no territory for the place.
    Territory fallbackEntry() const;
    QString acknowledgement(bool found) const;
    // The rows the view shows for what the service answered.
    std::vector<Territory> rowsToShow(std::vector<Territory> received) const;

    // A position as the territory service takes it: two decimal numbers joined by a comma (blanks around
    // them dropped); none for anything else.
    static std::optional<QString> normalizedPosition(const QString& loc);
    // The text, or its first 199 characters and an ellipsis.
    static QString cutToShow(const QString& text);

private:
    // cutToShow(), logging a cut text whole.
    QString bounded(const QString& text) const;
    void fail(const QString& reason);

    DisplayState& state_;
    WebClient& client_;
    QString baseAddress_;
    LookupFinished finished_;
};

// Asks the IP-information service where a server stands, then looks up its territory.
class LocationLookup : public QObject {
    Q_OBJECT

public:
    // Requests go to baseAddress + address + "/json?token=" + token.
    LocationLookup(DisplayState& state, WebClient& client, TerritoryLookup& territories, QString baseAddress,
                   QString token, QObject* parent = nullptr);

    // Safe from any thread: the request is made on the lookup's own thread.
    void loadIPData(const QString& address);
    // Called when the lookup fails here; a located server goes on to the territory lookup, which reports.
    void setFinished(LookupFinished finished) { finished_ = std::move(finished); }

private:
    void request(const QString& address);
    void fail(const QString& reason);

    DisplayState& state_;
    WebClient& client_;
    TerritoryLookup& territories_;
    QString baseAddress_;
    QString token_;
    LookupFinished finished_;
};

}  // namespace Tidemark
