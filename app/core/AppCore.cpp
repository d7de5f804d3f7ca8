#include "AppCore.h"

#include "Relaunch.h"

#include <QCoreApplication>

namespace Tidemark {

AppCore::AppCore(InfoDictionary info, std::optional<QString> carriedLog, PermissionPrompt& prompt,
                 PrivilegedRunner& runner, Options options)
    : info_(std::move(info)),
      state_(info_.string(QStringLiteral("CFBundleShortVersionString")), std::move(carriedLog)),
      client_(options.timeout),
      territory_(state_, client_, options.territoryBaseAddress),
      location_(state_, client_, territory_, options.ipInfoBaseAddress, options.ipInfoToken),
      scheduler_(this),
      monitor_(StreamMonitor::Dependencies{
          state_, scheduler_, options.capture, options.probeInterface,
          [this](const QString& address) { location_.loadIPData(address); },
          [this] { permission_->requestPermission(); }, [] { return QDateTime::currentDateTimeUtc(); },
          options.captureInterface}) {
    auto relaunch = options.relaunch ? options.relaunch : relaunchWithLog;
    auto quit = options.quit ? options.quit : [] { QCoreApplication::quit(); };
    permission_.emplace(PermissionStep::Dependencies{
        state_, prompt, runner, options.findScript, currentUserName,
        [this, relaunch] {
            if (relaunch(state_.statusText())) return;
            state_.appendLog(QStringLiteral("Error: Tidemark could not start again with the new rights"));
            state_.setMainText(PermissionStep::failureMessage);
            state_.setStatusColor(StatusColor::red);
            state_.setRetryError(true);
        },
        quit, {}});
    // The log is worth sending exactly when something went wrong.
    connect(&state_, &DisplayState::changed, this, [this] {
        if (state_.statusColor() == StatusColor::red && !state_.saveError()) state_.setSaveError(true);
    });
}

void AppCore::retry() {
    state_.setRetryError(false);
    monitor_.runEtherCapture();
}

}  // namespace Tidemark
