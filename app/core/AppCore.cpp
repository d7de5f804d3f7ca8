#include "AppCore.h"
#include "NetAddress.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>

namespace Tidemark {

namespace {
QString programDirectory() { return QCoreApplication::applicationDirPath(); }
QString placeName(const Geo& geo);
}  // namespace

AppCore::AppCore(InfoDictionary info, PermissionPrompt& prompt, PrivilegedRunner& runner, Options options)
    : info_(std::move(info)),
      state_(info_.string(QStringLiteral("CFBundleShortVersionString"))),
      now_(options.now),
      store_(options.storePath, [this](const QString& line) { state_.appendLog(line); }, now_),
      territoryKey_(options.fixedTerritoryKey),
      ipInfoToken_(options.fixedIpInfoToken),
      client_(options.timeout),
      context_{state_, client_, &store_, [this] { return keys(); }, now_, {}},
      territory_(context_, options.territoryBaseAddress),
      location_(context_, territory_, options.ipInfoBaseAddress, options.ipInfoToken),
      own_(context_, territory_),
      qtScheduler_(this),
      scheduler_(options.scheduler ? *options.scheduler : qtScheduler_),
      monitor_(StreamMonitor::Dependencies{
          state_, scheduler_,
          options.capture ? options.capture : defaultCaptureFactory(programDirectory().toStdString()),
          [this](const QString& address) { startLookup(address); },
          [this] { permission_->requestPermission(); }, [this] { return now_(); }, options.captureInterface,
          [this] { streamEnded(); }, options.services, [this] { pathChanged(); }}) {
    setServices(options.services);
    // The store's trouble, in plain words in the window and the terminal, for as long as it lasts.
    state_.setStoreProblem(store_.problem());
    store_.onProblem([this] { state_.setStoreProblem(store_.problem()); });
    context_.finished = [this](const LookupOutcome& outcome) { lookupFinished(outcome); };
    context_.ticket = [this] { return LookupTicket{monitor_.lastServerAddress(), generation_}; };
    own_.setPlace(options.ownPlace);
    own_.onShown([this] { answerShown(); });
    state_.setKeysToRedact(keys());
    keyStore_ = options.keyStore;
    if (options.keyStore) {
        connect(options.keyStore, &KeyStore::problem, this, [this](const QString& line) { state_.appendLog(line); });
        options.keyStore->load([this](ServiceKeys stored, KeyStore::Place) {
            setStoredKeys(stored);
            emit keysLoaded();
        });
    }
    auto route = options.grantRoute ? options.grantRoute : [] { return Tidemark::grantRoute(programDirectory()); };
    auto quit = options.quit ? options.quit : [] { QCoreApplication::quit(); };
    permission_.emplace(PermissionStep::Dependencies{state_, prompt, runner, route,
                                                     [this] { monitor_.runEtherCapture(); }, quit, {}});
    // The log is worth sending exactly while something is wrong.
    connect(&state_, &DisplayState::changed, this, [this] {
        const bool red = state_.statusColor() == StatusColor::red;
        if (red != state_.saveError()) state_.setSaveError(red);
    });
}

void AppCore::startLookup(const QString& address) {
    ++generation_;
    state_.setRetryAt(std::nullopt);
    failures_ = 0;
    lookupFailed_ = false;
    location_.loadIPData(address);
}

ServiceKeys AppCore::keys() const {
    return ServiceKeys{territoryKey_.value_or(storedKeys_.territoryKey), ipInfoToken_.value_or(storedKeys_.ipInfoToken)};
}

void AppCore::setStoredKeys(const ServiceKeys& keys) {
    storedKeys_ = keys;
    state_.setKeysToRedact(this->keys());
    // A lookup that could not go on without a key goes on now.
    if (state_.needsKey() && !monitor_.lastServerAddress().isEmpty()) {
        state_.setNeedsKey(false);
        ++generation_;
        location_.loadIPData(monitor_.lastServerAddress());
    }
}

void AppCore::saveKeys(const ServiceKeys& keys) {
    ServiceKeys stored = storedKeys_;
    if (!territoryKeyFixed()) stored.territoryKey = keys.territoryKey;
    if (!ipInfoTokenFixed()) stored.ipInfoToken = keys.ipInfoToken;
    setStoredKeys(stored);
    if (!keyStore_) return;
    keyStore_->save(stored, [this](KeyStore::Place, const QString& error) {
        if (!error.isEmpty()) state_.appendLog(QStringLiteral("The keys could not be kept: ") + error);
    });
}

void AppCore::setServices(ServiceSet services) {
    monitor_.setServices(services);
    state_.setWaiting(services == zoomOnly ? DisplayState::waitingText() : DisplayState::waitingForAnyStream());
}

QString AppCore::place() const { return placeName(state_.geo()); }

namespace {
// "City, Region, Country", without empty parts.
QString placeName(const Geo& geo) {
    QStringList parts;
    for (const QString& part : {geo.city, geo.region, geo.country}) {
        if (!part.isEmpty()) parts << TerritoryLookup::cutToShow(part);
    }
    return parts.join(QStringLiteral(", "));
}

// The peoples' names of a list as shown, without the rows that name none (the service's own link, "and
// 3 more").
QStringList peoplesOf(const std::vector<Territory>& rows) {
    QStringList names;
    for (const Territory& row : rows) {
        if (row.id != QLatin1String("-1") && row.id != QLatin1String("more")) names << row.properties.name;
    }
    return names;
}

// A sentence, then each people's name and link on a line of its own.
QString sentenceAndRows(const QString& sentence, const std::vector<Territory>& rows) {
    QString text = sentence;
    for (const Territory& territory : rows) {
        text += QLatin1Char('\n') + territory.properties.name;
        if (!territory.properties.description.isEmpty()) text += QStringLiteral(": ") + territory.properties.description;
    }
    return text + QLatin1Char('\n');
}
}  // namespace

std::vector<OwnPlace> AppCore::knownPlaces(int count) {
    std::vector<OwnPlace> places;
    for (const LookupStore::Answer& answer : store_.newest(LookupStore::Kind::location, LookupStore::maximumAnswers)) {
        if (static_cast<int>(places.size()) >= count) break;
        auto decoded = decodeGeo(answer.body);
        const Geo* geo = std::get_if<Geo>(&decoded);
        const auto position = geo ? TerritoryLookup::normalizedPosition(geo->loc) : std::nullopt;
        if (!position) continue;
        OwnPlace place{*position, placeName(*geo)};
        // One entry per place name: servers of one city stand at one position or near enough.
        if (std::none_of(places.begin(), places.end(), [&](const OwnPlace& p) { return p.name == place.name; })) {
            places.push_back(std::move(place));
        }
    }
    return places;
}

void AppCore::askOwnPlace(std::function<void(std::optional<OwnPlace>, QString)> done) {
    location_.askOwnPosition([done](std::optional<Geo> geo, const QString& why) {
        const auto position = geo ? TerritoryLookup::normalizedPosition(geo->loc) : std::nullopt;
        if (!position) {
            done(std::nullopt, geo ? QCoreApplication::translate("Tidemark", "the service gave no position for this computer's address") : why);
            return;
        }
        done(OwnPlace{*position, placeName(*geo)}, {});
    });
}

void AppCore::answerShown() {
    // Kept once the meeting's answer is whole: the server's land with the user's own when it came (either
    // completes the row), or the user's own alone when no server is looked up.
    const bool server = state_.statusColor() == StatusColor::green;
    const auto address = NetAddress::fromText(monitor_.lastServerAddress().toStdString());
    const bool noServer = monitor_.path() == StreamMonitor::Path::peer ||
                          (monitor_.path() == StreamMonitor::Path::server && address && !address->isPublic());
    if (!server && !noServer) return;  // the server's answer is still to come, and completes the row
    const QString text = shownAcknowledgement();
    if (text.isEmpty()) return;
    state_.setLastAnswer(std::nullopt);
    store_.record({now_(), server ? state_.geo().ip : QString(), server ? place() : QString(), text, monitor_.service(),
                   server ? peoplesOf(state_.territories()) : QStringList(), peoplesOf(state_.ownLand().territories), 0});
}

void AppCore::lookupFinished(const LookupOutcome& outcome) {
    if (outcome.succeeded) {
        failures_ = 0;
        state_.setRetryAt(std::nullopt);
        if (lookupFailed_) state_.setRetryError(false);
        lookupFailed_ = false;
        answerShown();
        return;
    }
    lookupFailed_ = true;
    state_.setRetryError(true);
    if (!outcome.retry) return;  // only a new key helps: Settings starts the lookup again
    const auto delay = outcome.retryAfter ? *outcome.retryAfter
                                          : retryDelays[std::min<std::size_t>(failures_, std::size(retryDelays) - 1)];
    ++failures_;
    state_.appendLog(QStringLiteral("Trying the lookup again in %1 s while the stream goes on").arg(delay.count()));
    const unsigned generation = ++generation_;
    state_.setRetryAt(QDateTime::currentDateTimeUtc().addSecs(delay.count()));
    scheduler_.schedule(delay, [this, generation] {
        if (generation != generation_ || !lookupFailed_ || monitor_.lastServerAddress().isEmpty()) return;
        ++generation_;
        state_.setRetryError(false);
        state_.setRetryAt(std::nullopt);
        location_.loadIPData(monitor_.lastServerAddress());
    });
}

void AppCore::forgetLookup() {
    ++generation_;
    state_.setRetryAt(std::nullopt);
    failures_ = 0;
    if (lookupFailed_ || state_.needsKey()) state_.setRetryError(false);
    lookupFailed_ = false;
    state_.setNeedsKey(false);
    state_.setNotice({});
}

void AppCore::pathChanged() {
    // The user's own land stays from one path to the next (looked up once a meeting is found); what was
    // looked up for the server does not.
    own_.meetingFound();
    forgetLookup();
}

void AppCore::streamEnded() {
    forgetLookup();
    // The answer stays at hand a while: the acknowledgement is often copied just after the meeting.
    const QString shown = shownAcknowledgement();
    const QString sentences = sentencesAlone();
    const bool server = state_.statusColor() == StatusColor::green;
    own_.meetingEnded();
    if (!shown.isEmpty()) {
        const QString where = server ? place() : own_.place() ? own_.place()->name : QString();
        state_.setLastAnswer(LastAnswer{now_(), where, shown, sentences});
        const unsigned generation = ++lastAnswerGeneration_;
        scheduler_.schedule(lastAnswerKept, [this, generation] {
            if (generation == lastAnswerGeneration_) state_.setLastAnswer(std::nullopt);
        });
    }
}

QString AppCore::describeAcknowledgement(const LookupStore::Acknowledgement& a) {
    const QString when = QLocale().toString(a.shown.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm"));
    QStringList head{when};
    if (!a.service.isEmpty()) head << a.service;
    if (!a.address.isEmpty()) head << a.address;
    QStringList lines{head.join(QStringLiteral(" · "))};
    if (!a.place.isEmpty()) lines << TerritoryLookup::cutToShow(a.place);
    if (!a.peoples.isEmpty()) lines << TerritoryLookup::cutToShow(a.peoples.join(QStringLiteral(", ")));
    if (!a.ownPeoples.isEmpty()) {
        lines << QCoreApplication::translate("Tidemark", "Your place: %1").arg(TerritoryLookup::cutToShow(a.ownPeoples.join(QStringLiteral(", "))));
    }
    return lines.join(QLatin1Char('\n'));
}

QString AppCore::shownAcknowledgement() const {
    QString text;
    if (state_.statusColor() == StatusColor::green) text = sentenceAndRows(state_.mainText(), state_.territories());
    const OwnLandShown& own = state_.ownLand();
    if (!own.text.isEmpty()) text += sentenceAndRows(own.text, own.territories);
    return text;
}

QString AppCore::sentencesAlone() const {
    QStringList sentences;
    if (state_.statusColor() == StatusColor::green) sentences << state_.mainText();
    if (!state_.ownLand().text.isEmpty()) sentences << state_.ownLand().text;
    if (!sentences.isEmpty()) return sentences.join(QLatin1Char(' '));
    return state_.lastAnswer() ? state_.lastAnswer()->sentences : QString();
}

QString AppCore::acknowledgementText() const {
    const QString text = shownAcknowledgement();
    if (!text.isEmpty()) return text;
    return state_.lastAnswer() ? state_.lastAnswer()->text : QString();
}

QString AppCore::networkOwner() const {
    if (state_.statusColor() != StatusColor::green) return {};
    // "AS64500 Example Networks" reads "Example Networks (AS64500)"; the number alone stays as it is.
    QString org = state_.geo().org.trimmed();
    static const QRegularExpression asNumber(QStringLiteral("^(AS\\d+)\\s+(\\S.*)$"));
    if (const auto match = asNumber.match(org); match.hasMatch()) {
        org = QStringLiteral("%1 (%2)").arg(match.captured(2), match.captured(1));
    }
    return TerritoryLookup::cutToShow(org);
}

void AppCore::retry() {
    state_.setRetryError(false);
    state_.setRetryAt(std::nullopt);
    if (lookupFailed_ && !monitor_.lastServerAddress().isEmpty()) {
        ++generation_;
        location_.loadIPData(monitor_.lastServerAddress());
        return;
    }
    monitor_.runEtherCapture();
}

}  // namespace Tidemark
