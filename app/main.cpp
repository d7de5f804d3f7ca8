// Tidemark: shows on whose traditional territory the media server of a video meeting stands.
#include "AppCore.h"
#include "AppDelegate.h"
#include "InfoDictionary.h"
#include "PermissionStep.h"
#include "Relaunch.h"
#include "TerminalView.h"

#include <QApplication>
#include <QCoreApplication>

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

bool hasArgument(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return true;
    return false;
}

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace Tidemark;
    if (hasArgument(argc, argv, "--help")) {
        std::printf("usage: tidemark [--terminal]\n"
                    "  --terminal  show the status as text instead of in a window (the default without a display)\n");
        return 0;
    }
    if (hasArgument(argc, argv, "--version")) {
        std::printf("Tidemark %s\n", BuildConfig::version);
        return 0;
    }
    const bool terminal = hasArgument(argc, argv, "--terminal") || !hasDisplay();
    if (!terminal && geteuid() == 0) {
        std::fprintf(stderr, "Tidemark's window does not run as root. Start it as yourself: it asks for the capture "
                             "rights it needs. (As root, use tidemark --terminal.)\n");
        return 1;
    }
    std::optional<QString> carriedLog = takeCarriedLog();

    if (terminal) {
        QCoreApplication app(argc, argv);
        TerminalPermissionPrompt prompt(stdout);
        PkexecRunner runner(QCoreApplication::applicationFilePath());
        AppCore core(InfoDictionary::forApplication(), std::move(carriedLog), prompt, runner);
        TerminalView view(core, stdout);
        view.start();
        return app.exec();
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tidemark"));
    QApplication::setApplicationVersion(QString::fromUtf8(BuildConfig::version));
    DialogPermissionPrompt prompt;
    PkexecRunner runner(QCoreApplication::applicationFilePath());
    AppCore core(InfoDictionary::forApplication(), std::move(carriedLog), prompt, runner);
    AppDelegate delegate(core);
    delegate.applicationDidFinishLaunching();
    prompt.setWindow(delegate.mainWindow());
    return app.exec();
}
