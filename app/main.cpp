// Tidemark: shows on whose traditional territory the media server of a video meeting stands.
#include "AppCore.h"
#include "AppDelegate.h"
#include "InfoDictionary.h"
#include "PermissionStep.h"
#include "TerminalView.h"

#include <ZuzizavAdiduDazorud/logging/LoggingSystem.h>
#include <ZuzizavAdiduDazorud/logging/StreamLogHandler.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace Tidemark;
    // Parsed before the application object, which depends on --terminal.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCoreApplication::setApplicationName(QStringLiteral("tidemark"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(BuildConfig::version));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Shows on whose traditional territory the media server of your video meeting stands."));
    const QCommandLineOption terminalOption(
        QStringLiteral("terminal"), QStringLiteral("Show the status as text instead of in a window (the default "
                                                   "without a display)."));
    const QCommandLineOption interfaceOption(
        QStringLiteral("interface"),
        QStringLiteral("Capture on this network interface only (default: all interfaces, \"any\")."),
        QStringLiteral("NAME"));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Show the version."));
    const QCommandLineOption verboseOption(
        QStringLiteral("verbose"), QStringLiteral("Write the packet library's diagnostics to standard error (without "
                                                  "it, only its errors)."));
    parser.addOptions({terminalOption, interfaceOption, verboseOption, helpOption, versionOption});
    // Without an application object yet, the parser cannot name the program itself.
    const QString help = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("tidemark"));
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "tidemark: %s\n%s", qPrintable(parser.errorText()), qPrintable(help));
        return 1;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tidemark: unexpected argument %s\n%s", qPrintable(parser.positionalArguments().first()),
                     qPrintable(help));
        return 1;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(help), stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("Tidemark %s\n", BuildConfig::version);
        return 0;
    }
    // Standard output carries only the terminal view; the library's lines go to standard error.
    const Logging::Logger::Level level =
        parser.isSet(verboseOption) ? Logging::Logger::Level::info : Logging::Logger::Level::error;
    Logging::LoggingSystem::setFactory([level](const std::string& label) {
        auto handler = Logging::StreamLogHandler::toStandardError(label);
        handler->setLogLevel(level);
        return handler;
    });
    AppCoreOptions options;
    if (parser.isSet(interfaceOption)) options.captureInterface = parser.value(interfaceOption);
    const bool terminal = parser.isSet(terminalOption) || !hasDisplay();
    if (!terminal && geteuid() == 0) {
        std::fprintf(stderr, "tidemark: running the window as root; as yourself it captures through its helper.\n");
    }

    if (terminal) {
        QCoreApplication app(argc, argv);
        TerminalPermissionPrompt prompt(stdout);
        PkexecRunner runner;
        AppCore core(InfoDictionary::forApplication(), prompt, runner, options);
        TerminalView view(core, stdout);
        runner.useTerminal([&view](bool running) { view.setAuthenticating(running); });
        view.start();
        return app.exec();
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tidemark"));
    QApplication::setApplicationVersion(QString::fromUtf8(BuildConfig::version));
    DialogPermissionPrompt prompt;
    PkexecRunner runner;
    AppCore core(InfoDictionary::forApplication(), prompt, runner, options);
    AppDelegate delegate(core);
    delegate.applicationDidFinishLaunching();
    prompt.setWindow(delegate.mainWindow());
    return app.exec();
}
