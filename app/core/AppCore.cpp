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
      scheduler_(this),
      monitor_(StreamMonitor::Dependencies{
          state_, scheduler_,
          options.capture ? options.capture : defaultCaptureFactory(programDirectory().toStdString()),
          options.probeInterface, [this](const QString& address) { location_.loadIPData(address); },
          [this] { permission_->requestPermission(); }, [] { return QDateTime::currentDateTimeUtc(); },
          options.captureInterface}) {
    auto route = options.grantRoute ? options.grantRoute : [] { return Tidemark::grantRoute(programDirectory()); };
    auto quit = options.quit ? options.quit : [] { QCoreApplication::quit(); };
    permission_.emplace(PermissionStep::Dependencies{state_, prompt, runner, route, currentUserName,
                                                     [this] { monitor_.runEtherCapture(); }, quit, {}});
    // The log is worth sending exactly when something went wrong.
    connect(&state_, &DisplayState::changed, this, [this] {
        if (state_.statusColor() == StatusColor::red && !state_.saveError()) state_.setSaveError(true);
    });
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
    monitor_.runEtherCapture();
}

}  // namespace Tidemark
