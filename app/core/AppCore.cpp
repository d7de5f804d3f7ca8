#include "AppCore.h"

#include <QCoreApplication>

namespace Tidemark {

namespace {
QString programDirectory() { return QCoreApplication::applicationDirPath(); }
}  // namespace

AppCore::AppCore(InfoDictionary info, PermissionPrompt& prompt, PrivilegedRunner& runner, Options options)
    : info_(std::move(info)),
      state_(info_.string(QStringLiteral("CFBundleShortVersionString"))),
      client_(options.timeout),
      territory_(state_, client_, options.territoryBaseAddress),
      location_(state_, client_, territory_, options.ipInfoBaseAddress, options.ipInfoToken),
      qtScheduler_(this),
      scheduler_(options.scheduler ? *options.scheduler : qtScheduler_),
      monitor_(StreamMonitor::Dependencies{
          state_, scheduler_,
          options.capture ? options.capture : defaultCaptureFactory(programDirectory().toStdString()),
          options.probeInterface, [this](const QString& address) { startLookup(address); },
          [this] { permission_->requestPermission(); }, [] { return QDateTime::currentDateTimeUtc(); },
          options.captureInterface, [this] { streamEnded(); }}) {
    location_.setFinished([this](const LookupOutcome& outcome) { lookupFinished(outcome); });
    territory_.setFinished([this](const LookupOutcome& outcome) { lookupFinished(outcome); });
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
    failures_ = 0;
    lookupFailed_ = false;
    location_.loadIPData(address);
}

void AppCore::lookupFinished(const LookupOutcome& outcome) {
    if (outcome.succeeded) {
        failures_ = 0;
        if (lookupFailed_) state_.setRetryError(false);
        lookupFailed_ = false;
        return;
    }
    lookupFailed_ = true;
    state_.setRetryError(true);
    const auto delay = retryDelays[std::min<std::size_t>(failures_, std::size(retryDelays) - 1)];
    ++failures_;
    state_.appendLog(QStringLiteral("Trying the lookup again in %1 s while the stream goes on").arg(delay.count()));
    const unsigned generation = ++generation_;
    scheduler_.schedule(delay, [this, generation] {
        if (generation != generation_ || !lookupFailed_ || monitor_.lastServerAddress().isEmpty()) return;
        ++generation_;
        state_.setRetryError(false);
        location_.loadIPData(monitor_.lastServerAddress());
    });
}

void AppCore::streamEnded() {
    ++generation_;
    failures_ = 0;
    if (lookupFailed_) state_.setRetryError(false);
    lookupFailed_ = false;
}

QString AppCore::acknowledgementText() const {
    if (state_.statusColor() != StatusColor::green) return {};
    QString text = state_.mainText();
    for (const Territory& territory : state_.territories()) {
        text += QLatin1Char('\n') + territory.properties.name;
        if (!territory.properties.description.isEmpty()) text += QStringLiteral(": ") + territory.properties.description;
    }
    return text + QLatin1Char('\n');
}

QString AppCore::networkOwner() const {
    if (state_.statusColor() != StatusColor::green) return {};
    return TerritoryLookup::cutToShow(state_.geo().org);
}

void AppCore::retry() {
    state_.setRetryError(false);
    if (lookupFailed_ && !monitor_.lastServerAddress().isEmpty()) {
        ++generation_;
        location_.loadIPData(monitor_.lastServerAddress());
        return;
    }
    monitor_.runEtherCapture();
}

}  // namespace Tidemark
