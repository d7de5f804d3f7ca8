#pragma once

#include "Lookups.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace Tidemark {

// A place of the user's own: a position, and how it reads ("Montréal, Quebec, CA"; may be empty).
struct OwnPlace {
    QString position;  // as TerritoryLookup::normalizedPosition() gives it
    QString name;

    friend bool operator==(const OwnPlace&, const OwnPlace&) = default;
    // "45.5,-73.6" or "none" (as --place takes it): a place, no place, or nothing valid.
    static std::optional<std::optional<OwnPlace>> parse(const QString& text);
};

// The land the user joins a meeting from: with a place set, it is looked up on the territory service while
// a meeting goes on (through the same store of saved answers, with the same caps and freshness as a
// server's position) and said in a sentence of its own. Without a place nothing about it is sent. Main
// thread only.
class OwnLand : public QObject {
    Q_OBJECT

public:
    OwnLand(LookupContext& context, TerritoryLookup& territories, QObject* parent = nullptr);

    // A new place, or none: what was shown for the old one goes; during a meeting the new one is looked up.
    void setPlace(std::optional<OwnPlace> place);
    const std::optional<OwnPlace>& place() const { return place_; }

    // A meeting's path was found (a server, or peer to peer): the place is looked up unless its answer is
    // shown already. `shown` hears when an answer is shown.
    void meetingFound();
    // The meeting ended: its sentence goes.
    void meetingEnded();
    void onShown(std::function<void()> shown) { shown_ = std::move(shown); }

    // "You are joining from the traditional territory of the following peoples:", or the sentence for a
    // place no territory is known for.
    static QString sentence(bool found);

private:
    void lookUp();
    bool show(const QByteArray& body);
    void showProblem(const QString& problem);

    LookupContext& c_;
    TerritoryLookup& territories_;
    std::optional<OwnPlace> place_;
    bool meeting_ = false;
    bool shownForPlace_ = false;  // the place's answer is shown
    bool asking_ = false;         // a request for it is on its way
    unsigned generation_ = 0;    // of the lookup in progress; an older answer is only saved
    std::function<void()> shown_;
};

}  // namespace Tidemark
