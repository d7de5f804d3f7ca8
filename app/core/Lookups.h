#pragma once

#include "DisplayState.h"
#include "WebClient.h"

#include <QObject>
#include <QString>

namespace Tidemark {

// Asks the territory service on whose territory a position lies, and composes the sentence.
class TerritoryLookup : public QObject {
    Q_OBJECT

public:
    // `baseAddress` is the service's home page, ending in "/".
    TerritoryLookup(DisplayState& state, WebClient& client, QString baseAddress, QObject* parent = nullptr);

    void loadTerritoryData(const QString& position);

    // Shown as the one link when the service knows no territory for the place.
    Territory fallbackEntry() const;
    QString acknowledgement(bool found) const;

private:
    DisplayState& state_;
    WebClient& client_;
    QString baseAddress_;
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

private:
    DisplayState& state_;
    WebClient& client_;
    TerritoryLookup& territories_;
    QString baseAddress_;
    QString token_;
};

}  // namespace Tidemark
