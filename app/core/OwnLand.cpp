#include "OwnLand.h"

#include <QCoreApplication>

namespace Tidemark {

std::optional<std::optional<OwnPlace>> OwnPlace::parse(const QString& text) {
    if (text.trimmed().compare(QLatin1String("none"), Qt::CaseInsensitive) == 0) return std::optional<OwnPlace>{};
    const auto position = TerritoryLookup::normalizedPosition(text);
    if (!position) return std::nullopt;
    return std::optional<OwnPlace>{OwnPlace{*position, {}}};
}

OwnLand::OwnLand(LookupContext& context, TerritoryLookup& territories, QObject* parent)
    : QObject(parent), c_(context), territories_(territories) {}

QString OwnLand::sentence(bool found) {
    return found ? QCoreApplication::translate("Tidemark", "You are joining from the traditional territory of the following peoples:")
                 : QCoreApplication::translate("Tidemark",
                                               "You are joining from a place that is not known to be the traditional territory "
                                               "of any people. To learn more, please click here:");
}

void OwnLand::setPlace(std::optional<OwnPlace> place) {
    if (place == place_) return;
    const bool samePosition = place && place_ && place->position == place_->position;
    place_ = std::move(place);
    if (samePosition) return;  // a new name only
    ++generation_;
    asking_ = false;
    shownForPlace_ = false;
    c_.state.setOwnLand({});
    if (meeting_ && place_) lookUp();
}

void OwnLand::meetingFound() {
    meeting_ = true;
    if (place_ && !shownForPlace_ && !asking_) lookUp();
}

void OwnLand::meetingEnded() {
    meeting_ = false;
    ++generation_;
    asking_ = false;
    shownForPlace_ = false;
    c_.state.setOwnLand({});
}

void OwnLand::lookUp() {
    // The position is the user's: the log says "your place", never where it is.
    const unsigned generation = ++generation_;
    const QString position = place_->position;
    std::optional<LookupStore::Answer> saved = c_.store ? c_.store->find(LookupStore::Kind::territory, position) : std::nullopt;
    if (saved && saved->fresh) {
        if (show(saved->body)) {
            c_.state.appendLog(QStringLiteral("Your place's land: using the saved answer, nothing sent"));
            return;
        }
        saved.reset();  // unreadable after all: ask
    }
    const bool savedShown = saved && show(saved->body);
    const auto url = territories_.requestUrl(position, c_.keys().territoryKey);
    if (!url) {
        c_.state.appendLog(QStringLiteral("Your place's land: no territory key, nothing sent"));
        if (!savedShown) showProblem(TerritoryLookup::needsKey());
        return;
    }
    c_.state.appendLog(savedShown ? QStringLiteral("Your place's land: showing the saved answer while asking again")
                                  : QStringLiteral("Loading territory data for your place"));
    asking_ = true;
    c_.client.get(*url, [this, generation, position, savedShown](const WebReply& reply) {
        const bool valid =
            answeredWell(reply) && std::holds_alternative<std::vector<Territory>>(decodeTerritories(reply.body));
        if (valid && c_.store) c_.store->put(LookupStore::Kind::territory, position, reply.status, reply.body);
        if (generation != generation_) return;  // the place changed, or the meeting ended
        asking_ = false;
        if (valid) {
            show(reply.body);
            return;
        }
        c_.state.appendLog(reply.answered() ? QStringLiteral("Your place's land: the service answered status %1").arg(reply.status)
                                            : QStringLiteral("Your place's land: fetch failed: ") + reply.error);
        if (savedShown) return;
        showProblem(refusedKey(reply)
                        ? TerritoryLookup::keyRefused()
                        : QCoreApplication::translate("Tidemark", "Your place's land could not be looked up: %1.")
                              .arg(answeredWell(reply) ? QCoreApplication::translate("Tidemark", "the service's answer was not valid data")
                                                       : plainReason(reply)));
    });
}

bool OwnLand::show(const QByteArray& body) {
    auto decoded = decodeTerritories(body);
    auto* received = std::get_if<std::vector<Territory>>(&decoded);
    if (!received) return false;
    const bool found = !received->empty();
    c_.state.setOwnLand({sentence(found), territories_.rowsToShow(std::move(*received)), {}});
    shownForPlace_ = true;
    if (shown_) shown_();
    return true;
}

void OwnLand::showProblem(const QString& problem) {
    // Tried again when the meeting's path next changes, or the place does.
    shownForPlace_ = false;
    c_.state.setOwnLand({{}, {}, problem});
}

}  // namespace Tidemark
