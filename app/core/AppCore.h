#pragma once

#include "BuildConfig.h"
#include "CaptureBackend.h"
#include "DisplayState.h"
#include "InfoDictionary.h"
#include "Lookups.h"
#include "PermissionStep.h"
#include "Scheduler.h"
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
    std::function<InterfaceProbe()> probeInterface = probeCaptureInterface;
    std::optional<QString> captureInterface;  // --interface; none: all interfaces
    std::function<GrantRoute()> grantRoute;   // default: from the program's folder
    std::function<void()> quit;               // default: QCoreApplication::quit
};

// Everything the window and the terminal mode share: the display state, the lookups,
// the stream monitor and the permission step, wired together.
class AppCore : public QObject {
    Q_OBJECT

public:
    using Options = AppCoreOptions;

    AppCore(InfoDictionary info, PermissionPrompt& prompt, PrivilegedRunner& runner, Options options = {});

    DisplayState& state() { return state_; }
    StreamMonitor& monitor() { return monitor_; }
    const InfoDictionary& info() const { return info_; }

    // "Try Again": hide the link and start a capture run.
    void retry();

    // A text ready to paste into a meeting's chat: the sentence, then each people's name and link on a
    // line of its own. Empty until a territory answer is shown.
    QString acknowledgementText() const;
    // The organisation that holds the server's address, cut to 200 characters, while the answer is shown;
    // empty otherwise.
    QString networkOwner() const;

private:
    InfoDictionary info_;
    DisplayState state_;
    WebClient client_;
    TerritoryLookup territory_;
    LocationLookup location_;
    QtScheduler scheduler_;
    std::optional<PermissionStep> permission_;
    StreamMonitor monitor_;
};

}  // namespace Tidemark
