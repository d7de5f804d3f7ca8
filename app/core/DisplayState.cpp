#include "DisplayState.h"
#include "Redaction.h"
#include "Scheduler.h"

#include <QCoreApplication>

namespace Tidemark {

QString DisplayState::waitingText() {
    return QCoreApplication::translate("Tidemark", "Waiting for Zoom stream to become available…");
}
QString DisplayState::waitingForAnyStream() {
    return QCoreApplication::translate("Tidemark", "Waiting for a meeting's media stream to become available…");
}
QString DisplayState::lookingUpLocation() {
    return QCoreApplication::translate("Tidemark", "Looking up where the media server stands…");
}
QString DisplayState::lookingUpTerritory() {
    return QCoreApplication::translate("Tidemark", "Looking up whose land that is…");
}
const QString DisplayState::initialLog = QStringLiteral("Tidemark started\n");

QString toString(StatusColor color) {
    switch (color) {
        case StatusColor::orange: return QStringLiteral("orange");
        case StatusColor::red: return QStringLiteral("red");
        case StatusColor::green: return QStringLiteral("green");
        case StatusColor::blue: return QStringLiteral("blue");
        case StatusColor::purple: return QStringLiteral("purple");
    }
    return {};
}

QString statusWord(StatusColor color) {
    switch (color) {
        case StatusColor::orange: return QCoreApplication::translate("Tidemark", "Waiting");
        case StatusColor::blue: return QCoreApplication::translate("Tidemark", "Looking up");
        case StatusColor::green: return QCoreApplication::translate("Tidemark", "Found");
        case StatusColor::red: return QCoreApplication::translate("Tidemark", "Problem");
        case StatusColor::purple: return QCoreApplication::translate("Tidemark", "No server");
    }
    return {};
}

DisplayState::DisplayState(std::optional<QString> appVersion, QObject* parent)
    : QObject(parent),
      mainText_(waitingText()),
      statusText_(initialLog),
      appVersion_(std::move(appVersion)) {}

void DisplayState::apply(std::function<void(DisplayState&)> write) {
    runOnThreadOf(this, [this, write = std::move(write)] {
        write(*this);
        emit changed();
    });
}

void DisplayState::setTerritories(std::vector<Territory> territories) {
    apply([territories = std::move(territories)](DisplayState& s) { s.territories_ = territories; });
}

void DisplayState::setGeo(Geo geo) {
    apply([geo = std::move(geo)](DisplayState& s) { s.geo_ = geo; });
}

void DisplayState::setMainText(QString text) {
    apply([text = std::move(text)](DisplayState& s) { s.mainText_ = text; });
}

void DisplayState::setStatusColor(StatusColor color) {
    apply([color](DisplayState& s) { s.statusColor_ = color; });
}

void DisplayState::setRetryError(bool value) {
    apply([value](DisplayState& s) { s.retryError_ = value; });
}

void DisplayState::setSaveError(bool value) {
    apply([value](DisplayState& s) { s.saveError_ = value; });
}

void DisplayState::setIsLoading(bool value) {
    apply([value](DisplayState& s) { s.isLoading_ = value; });
}

void DisplayState::setWaiting(QString text) {
    apply([text = std::move(text)](DisplayState& s) {
        if (s.mainText_ == s.waiting_) s.mainText_ = text;  // waiting now: in the new words
        s.waiting_ = text;
    });
}

void DisplayState::setStreamSubject(QString subject) {
    apply([subject = std::move(subject)](DisplayState& s) { s.streamSubject_ = subject; });
}

void DisplayState::setNotice(QString notice) {
    apply([notice = std::move(notice)](DisplayState& s) { s.notice_ = notice; });
}

void DisplayState::setStoreProblem(QString problem) {
    apply([problem = std::move(problem)](DisplayState& s) { s.storeProblem_ = problem; });
}

void DisplayState::setNeedsKey(bool value) {
    apply([value](DisplayState& s) { s.needsKey_ = value; });
}

void DisplayState::setLastAnswer(std::optional<LastAnswer> answer) {
    apply([answer = std::move(answer)](DisplayState& s) { s.lastAnswer_ = answer; });
}

void DisplayState::setRetryAt(std::optional<QDateTime> at) {
    apply([at = std::move(at)](DisplayState& s) { s.retryAt_ = at; });
}

void DisplayState::setOwnLand(OwnLandShown own) {
    apply([own = std::move(own)](DisplayState& s) { s.ownLand_ = own; });
}

void DisplayState::setKeysToRedact(ServiceKeys keys) {
    apply([keys = std::move(keys)](DisplayState& s) { s.redacted_ = keys; });
}

void DisplayState::appendLog(const QString& line) {
    apply([line](DisplayState& s) {
        s.statusText_ += redactKeys(line, s.redacted_);
        s.statusText_ += QLatin1Char('\n');
    });
}

}  // namespace Tidemark
