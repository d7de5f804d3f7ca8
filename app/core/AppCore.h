#pragma once

#include "BuildConfig.h"
#include "CaptureBackend.h"
#include "DisplayState.h"
#include "InfoDictionary.h"
#include "LookupStore.h"
#include "Lookups.h"
#include "OwnLand.h"
#include "PermissionStep.h"
#include "Scheduler.h"
#include "ServiceKeys.h"
#include "StreamMonitor.h"
#include "WebClient.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>

namespace Tidemark {

// How the core reaches the world; tests replace parts of it.
struct AppCoreOptions {
    QString ipInfoBaseAddress = QString::fromUtf8(BuildConfig::ipInfoBaseAddress);
    QString ipInfoToken = QString::fromUtf8(BuildConfig::ipInfoToken);
    QString territoryBaseAddress = QString::fromUtf8(BuildConfig::territoryBaseAddress);
    std::chrono::milliseconds timeout{60'000};
    CaptureFactory capture;  // default: the capture helper beside the program, else in-process
    std::optional<QString> captureInterface;  // --interface; none: all interfaces
    std::function<GrantRoute()> grantRoute;   // default: from the program's folder
    std::function<void()> quit;               // default: QCoreApplication::quit
    Scheduler* scheduler = nullptr;           // default: Qt's timers
    QString storePath;                        // saved answers and history; empty: nothing is kept
    KeyStore* keyStore = nullptr;             // where the user's keys are kept; none: only the ones below
    std::optional<QString> fixedTerritoryKey;  // from the environment or a key file: wins over the store
    std::optional<QString> fixedIpInfoToken;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
    ServiceSet services = allServices;        // whose streams are watched
    std::optional<OwnPlace> ownPlace;         // the land the user joins from; none: nothing about it is sent
};

// Everything the window and the terminal mode share: the display state, the lookups,
// the stream monitor and the permission step, wired together.
class AppCore : public QObject {
    Q_OBJECT

public:
    using Options = AppCoreOptions;

    AppCore(InfoDictionary info, PermissionPrompt& prompt, PrivilegedRunner& runner, Options options = {});

    DisplayState& state() { return state_; }
    const DisplayState& state() const { return state_; }
    StreamMonitor& monitor() { return monitor_; }
    const InfoDictionary& info() const { return info_; }

    // "Try Again": hide the link and look the server up again when a lookup failed, else start a capture run.
    void retry();

    // While the stream goes on, a failed lookup is tried again after these waits, then every 5 minutes.
    static constexpr std::chrono::seconds retryDelays[] = {std::chrono::seconds(10), std::chrono::seconds(30),
                                                           std::chrono::seconds(60), std::chrono::seconds(300)};

    // A text ready to paste into a meeting's chat: the sentence, then each people's name and link on a
    // line of its own. While an answer is shown, that one; for 30 minutes after its stream ended, the last
    // one; else empty.
    QString acknowledgementText() const;
    static constexpr std::chrono::minutes lastAnswerKept{30};
    // The acknowledgement's sentences without their links: the server's, and the user's own land's.
    QString sentencesAlone() const;

    // The keys in use: the environment's or a key file's, else the user's stored ones.
    ServiceKeys keys() const;
    // Whether a key comes from the environment or a key file (Settings cannot change it).
    bool territoryKeyFixed() const { return territoryKey_.has_value(); }
    bool ipInfoTokenFixed() const { return ipInfoToken_.has_value(); }
    // The user's keys changed: used from now on; a lookup that needed them runs again.
    void setStoredKeys(const ServiceKeys& keys);
    // Keeps the user's keys (those the environment or a key file does not fix): in use at once, and
    // written to the key store, which alone writes keys.
    void saveKeys(const ServiceKeys& keys);
    // Asks a service once with a key (empty token: Tidemark's own); `done` hears, in words, what its
    // answer says of the key.
    void testTerritoryKey(const QString& key, std::function<void(QString verdict)> done) { territory_.test(key, std::move(done)); }
    void testIpInfoToken(const QString& token, std::function<void(QString verdict)> done) { location_.test(token, std::move(done)); }
    const ServiceKeys& storedKeys() const { return storedKeys_; }
    LookupStore& store() { return store_; }
    WebClient& webClient() { return client_; }
    const TerritoryLookup& territoryLookup() const { return territory_; }
    const LocationLookup& locationLookup() const { return location_; }
    // The acknowledgements shown, newest first.
    std::vector<LookupStore::Acknowledgement> recentAcknowledgements(int count = LookupStore::recentShown) { return store_.recent(count); }
    // One meeting's acknowledgement in a few lines: when, the service and server, the place and the peoples.
    static QString describeAcknowledgement(const LookupStore::Acknowledgement& acknowledgement);
    // Whose streams are watched from now on; the waiting text says which.
    void setServices(ServiceSet services);
    // "City, Region, Country" of the server shown, without empty parts.
    QString place() const;
    // The place the user joins from: looked up while a meeting goes on; none sends nothing about it.
    void setOwnPlace(std::optional<OwnPlace> place) { own_.setPlace(std::move(place)); }
    const std::optional<OwnPlace>& ownPlace() const { return own_.place(); }
    // The places of the saved server answers, newest first, at most `count`: to pick one's own from.
    std::vector<OwnPlace> knownPlaces(int count = 10);
    // Asks the IP-information service once where this computer's public address stands; `done` hears
    // the place, or why there is none.
    void askOwnPlace(std::function<void(std::optional<OwnPlace>, QString why)> done);
    // The organisation that holds the server's address, cut to 200 characters, while the answer is shown;
    // empty otherwise.
    QString networkOwner() const;

signals:
    // The user's stored keys have been read (at start).
    void keysLoaded();

private:
    // A new server from the monitor, or a lookup tried again: older scheduled attempts lapse.
    void startLookup(const QString& address);
    void lookupFinished(const LookupOutcome& outcome);
    void streamEnded();
    void pathChanged();
    // Whatever was being looked up or tried again is for a path no longer current.
    void forgetLookup();

    void answerShown();
    // The acknowledgement of what is shown now (the server's land, the user's own, or both); empty when
    // nothing is.
    QString shownAcknowledgement() const;

    InfoDictionary info_;
    DisplayState state_;
    std::function<QDateTime()> now_;
    LookupStore store_;
    ServiceKeys storedKeys_;
    KeyStore* keyStore_ = nullptr;
    std::optional<QString> territoryKey_;
    std::optional<QString> ipInfoToken_;
    WebClient client_;
    LookupContext context_;
    TerritoryLookup territory_;
    LocationLookup location_;
    OwnLand own_;
    QtScheduler qtScheduler_;
    Scheduler& scheduler_;
    std::optional<PermissionStep> permission_;
    StreamMonitor monitor_;
    bool lookupFailed_ = false;
    int failures_ = 0;        // in a row, for the server being looked up
    unsigned generation_ = 0;  // of the lookup in progress; a scheduled attempt carries its own
    unsigned lastAnswerGeneration_ = 0;
};

}  // namespace Tidemark
