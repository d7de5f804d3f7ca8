#pragma once

#include "Records.h"
#include "ServiceKeys.h"

#include <QDateTime>

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace Tidemark {

// Orange waiting for a stream, blue while a lookup runs, red on a failure, green with the answer, purple
// when there is no server to look up (a peer-to-peer call, a server on a private network).
enum class StatusColor { orange, red, green, blue, purple };
QString toString(StatusColor color);
// The status in the user's words: "Waiting", "Found", ...
QString statusWord(StatusColor color);

// The acknowledgement shown last, kept for a while after its stream ended.
struct LastAnswer {
    QDateTime shown;
    QString place;
    QString text;  // as copied
    QString sentences;  // its sentences without their links, as "Copy the Sentence Alone" copies them

    friend bool operator==(const LastAnswer&, const LastAnswer&) = default;
};

// The land the user joins from, shown while a meeting goes on and a place of their own is set.
struct OwnLandShown {
    QString text;                        // the sentence; empty while none is shown
    std::vector<Territory> territories;  // the rows under it
    QString problem;                     // why it could not be looked up, in the user's words

    friend bool operator==(const OwnLandShown&, const OwnLandShown&) = default;
};

// The one shared record the window shows, and the application's log.
// Writes may come from any thread; each is carried out on the state's own (main)
// thread, in the order the writing thread made them. Reads belong to the main thread.
class DisplayState : public QObject {
    Q_OBJECT

public:
    static QString waitingText();        // watching Zoom alone
    static QString waitingForAnyStream();  // watching several services
    static QString lookingUpLocation();
    static QString lookingUpTerritory();
    static const QString initialLog;

    explicit DisplayState(std::optional<QString> appVersion, QObject* parent = nullptr);

    const std::vector<Territory>& territories() const { return territories_; }
    const Geo& geo() const { return geo_; }
    const QString& mainText() const { return mainText_; }
    // What the window says while it waits for a stream (main thread).
    const QString& waiting() const { return waiting_; }
    void setWaiting(QString text);
    // How the sentence names the stream: "The Zoom stream" (main thread).
    const QString& streamSubject() const { return streamSubject_; }
    const QString& statusText() const { return statusText_; }
    StatusColor statusColor() const { return statusColor_; }
    bool retryError() const { return retryError_; }
    bool saveError() const { return saveError_; }
    bool isLoading() const { return isLoading_; }
    const std::optional<QString>& appVersion() const { return appVersion_; }
    // A grey line under the sentence: an answer shown from what was saved.
    const QString& notice() const { return notice_; }
    // What is wrong with the saved answers (they cannot be written, or were set aside); empty when nothing.
    const QString& storeProblem() const { return storeProblem_; }
    // A service needs a key (or a better one): the view offers Settings.
    bool needsKey() const { return needsKey_; }
    const std::optional<LastAnswer>& lastAnswer() const { return lastAnswer_; }
    // When a failed lookup is tried again by itself; none while nothing is scheduled.
    const std::optional<QDateTime>& retryAt() const { return retryAt_; }
    const OwnLandShown& ownLand() const { return ownLand_; }

    void setTerritories(std::vector<Territory> territories);
    void setGeo(Geo geo);
    void setMainText(QString text);
    void setStatusColor(StatusColor color);
    void setRetryError(bool value);
    void setSaveError(bool value);
    void setIsLoading(bool value);
    void setNotice(QString notice);
    void setStoreProblem(QString problem);
    void setStreamSubject(QString subject);
    void setNeedsKey(bool value);
    void setLastAnswer(std::optional<LastAnswer> answer);
    void setRetryAt(std::optional<QDateTime> at);
    void setOwnLand(OwnLandShown own);
    // Log lines have these keys (and any key= or token= value) replaced before they are kept.
    void setKeysToRedact(ServiceKeys keys);
    // Adds one line (given without its line feed) to the log.
    void appendLog(const QString& line);

signals:
    // After every write, on the main thread.
    void changed();

private:
    void apply(std::function<void(DisplayState&)> write);

    std::vector<Territory> territories_;
    Geo geo_;
    QString mainText_;
    QString statusText_;
    StatusColor statusColor_ = StatusColor::orange;
    bool retryError_ = false;
    bool saveError_ = false;
    bool isLoading_ = true;
    std::optional<QString> appVersion_;
    QString notice_;
    QString storeProblem_;
    QString waiting_ = waitingText();
    QString streamSubject_ = QStringLiteral("The Zoom stream");
    bool needsKey_ = false;
    std::optional<LastAnswer> lastAnswer_;
    std::optional<QDateTime> retryAt_;
    OwnLandShown ownLand_;
    ServiceKeys redacted_;  // main thread
};

}  // namespace Tidemark
