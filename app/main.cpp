// Tidemark: shows on whose traditional territory the media server of a video meeting stands.
#include "AppCore.h"
#include "AppDelegate.h"
#include "InfoDictionary.h"
#include "PermissionStep.h"
#include "Preferences.h"
#include "TerminalView.h"
#include "Translations.h"

#include <ZuzizavAdiduDazorud/EtherCapture.h>
#include <ZuzizavAdiduDazorud/logging/LoggingSystem.h>
#include <ZuzizavAdiduDazorud/logging/StreamLogHandler.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <net/if.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>

namespace {

// One line for the user on standard error: "tidemark: " and the message.
void complain(const QString& message) { std::fprintf(stderr, "tidemark: %s\n", qPrintable(message)); }

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// Qt's own command-line options (QApplication takes them out of argv itself): accepted, not shown in the
// help. The first group takes a value.
const char* const qtOptionsWithValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                           "qwindowgeometry", "geometry",  "qwindowicon",    "icon",
                                           "qwindowtitle",    "title",     "display",        "style",
                                           "stylesheet",      "session",   "name",           "qmljsdebugger"};
const char* const qtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// The network interfaces capture can open ("any" among them), or none when they cannot be listed. libpcap
// also lists devices that carry no network traffic (nflog, dbus-system, usbmon, bluetooth): left out.
std::optional<std::vector<std::string>> captureInterfaces() {
    auto names = ZuzizavAdiduDazorud::EtherCapture::listInterfaces();
    if (!names) return names;
    std::erase_if(*names, [](const std::string& name) { return name != "any" && if_nametoindex(name.c_str()) == 0; });
    if (std::find(names->begin(), names->end(), "any") == names->end()) names->push_back("any");
    return names;
}

// The status as text on standard output, commands from standard input; an application object exists.
int runTerminal(Tidemark::AppCoreOptions options) {
    using namespace Tidemark;
    KeyStore keys;
    options.keyStore = &keys;
    TerminalPermissionPrompt prompt(stdout);
    PkexecRunner runner;
    AppCore core(InfoDictionary::forApplication(), prompt, runner, options);
    TerminalView view(core, stdout);
    runner.useTerminal([&view](bool running) { view.setAuthenticating(running); });
    view.start();
    return QCoreApplication::exec();
}


// The command line, parsed before there is an application object (which depends on --terminal).
struct CommandLine {
    QCommandLineParser parser;
    QString help;
    QCommandLineOption terminalOption{QStringLiteral("terminal")};
    QCommandLineOption interfaceOption{QStringLiteral("interface")};
    QCommandLineOption helpOption{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption versionOption{QStringLiteral("version")};
    QCommandLineOption territoryKeyFileOption{QStringLiteral("territory-key-file")};
    QCommandLineOption ipInfoTokenFileOption{QStringLiteral("ipinfo-token-file")};
    QCommandLineOption servicesOption{QStringLiteral("services")};
    QCommandLineOption placeOption{QStringLiteral("place")};
    QCommandLineOption verboseOption{QStringLiteral("verbose")};

    explicit CommandLine(const Tidemark::Translations& translations);
    // None when the program goes on; else the exit status (after --help, --version or a wrong option).
    std::optional<int> parse(const QStringList& arguments, const Tidemark::Translations& translations);
};

CommandLine::CommandLine(const Tidemark::Translations& translations) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);  // -style fusion, as Qt's
    parser.setApplicationDescription(
        translations.text(QT_TRANSLATE_NOOP("Tidemark", "Shows on whose traditional territory the media server of your video meeting stands.")));
    terminalOption = QCommandLineOption(
        QStringLiteral("terminal"), translations.text(QT_TRANSLATE_NOOP("Tidemark", "Show the status as text instead of in a window (the "
                                                                                 "default without a display).")));
    interfaceOption = QCommandLineOption(
        QStringLiteral("interface"),
        translations.text(QT_TRANSLATE_NOOP("Tidemark", "Capture on this network interface only (default: all interfaces, \"any\").")),
        translations.text(QT_TRANSLATE_NOOP("Tidemark", "NAME")));
    helpOption = QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, translations.text(QT_TRANSLATE_NOOP("Tidemark", "Show this help.")));
    versionOption = QCommandLineOption(QStringLiteral("version"), translations.text(QT_TRANSLATE_NOOP("Tidemark", "Show the version.")));
    territoryKeyFileOption = QCommandLineOption(
        QStringLiteral("territory-key-file"),
        translations.text(QT_TRANSLATE_NOOP("Tidemark", "Read the territory service's API key from this file (its first line); or "
                                                       "set TIDEMARK_TERRITORY_KEY. Never give a key itself on the "
                                                       "command line.")),
        translations.text(QT_TRANSLATE_NOOP("Tidemark", "FILE")));
    ipInfoTokenFileOption = QCommandLineOption(
        QStringLiteral("ipinfo-token-file"),
        translations.text(QT_TRANSLATE_NOOP("Tidemark", "Read the IP-information service's token from this file (its first line); "
                                                       "or set TIDEMARK_IPINFO_TOKEN.")),
        translations.text(QT_TRANSLATE_NOOP("Tidemark", "FILE")));
    servicesOption = QCommandLineOption(
        QStringLiteral("services"),
        translations.text(QT_TRANSLATE_NOOP("Tidemark", "Watch these meeting services only, separated by commas (zoom, teams, meet, "
                                                       "webex, jitsi; default: as chosen in Settings, else all).")),
        translations.text(QT_TRANSLATE_NOOP("Tidemark", "LIST")));
    placeOption = QCommandLineOption(
        QStringLiteral("place"),
        translations.text(QT_TRANSLATE_NOOP("Tidemark", "The place you join meetings from, as latitude and longitude (45.5,-73.6), "
                                                       "for this run: its traditional territory is named too; \"none\" names "
                                                       "none (default: as chosen in Settings, else none).")),
        translations.text(QT_TRANSLATE_NOOP("Tidemark", "LAT,LON")));
    verboseOption = QCommandLineOption(
        QStringLiteral("verbose"), translations.text(QT_TRANSLATE_NOOP("Tidemark", "Write the packet library's diagnostics to standard error "
                                                                                "(without it, only its errors).")));
    parser.addOptions({terminalOption, interfaceOption, servicesOption, placeOption, territoryKeyFileOption,
                       ipInfoTokenFileOption, verboseOption, helpOption, versionOption});
    for (const char* name : qtOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : qtFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    // Without an application object yet, the parser cannot name the program itself, nor translate its
    // headings: both are done here.
    help = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("tidemark"));
    help.replace(QStringLiteral("Usage: "), translations.text(QT_TRANSLATE_NOOP("Tidemark", "Usage:")) + QLatin1Char(' '));
    help.replace(QStringLiteral("\nOptions:\n"), QLatin1Char('\n') + translations.text(QT_TRANSLATE_NOOP("Tidemark", "Options:")) +
                                                 QLatin1Char('\n'));
    help.replace(QStringLiteral("[options]"), translations.text(QT_TRANSLATE_NOOP("Tidemark", "[options]")));
}

std::optional<int> CommandLine::parse(const QStringList& arguments, const Tidemark::Translations& translations) {
    if (!parser.parse(arguments)) {
        QString why;
        if (!parser.unknownOptionNames().isEmpty()) {
            why = translations.text(QT_TRANSLATE_NOOP("Tidemark", "unknown option %1")).arg(parser.unknownOptionNames().first());
        } else if (const QString text = parser.errorText(); text.startsWith(QStringLiteral("Missing value after '"))) {
            why = translations.text(QT_TRANSLATE_NOOP("Tidemark", "the option %1 needs a value")).arg(text.section(QLatin1Char('\''), 1, 1));
        } else {
            why = text;
        }
        complain(why);
        std::fputs(qPrintable(help), stderr);
        return 1;
    }
    if (!parser.positionalArguments().isEmpty()) {
        complain(translations.text(QT_TRANSLATE_NOOP("Tidemark", "unexpected argument %1")).arg(parser.positionalArguments().first()));
        std::fputs(qPrintable(help), stderr);
        return 1;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(help), stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("Tidemark %s\n", Tidemark::BuildConfig::version);
        return 0;
    }
    return std::nullopt;
}

// Standard output carries only the terminal view; the library's lines go to standard error.
void configureLogging(bool verbose) {
    const Logging::Logger::Level level = verbose ? Logging::Logger::Level::info : Logging::Logger::Level::error;
    Logging::LoggingSystem::setFactory([level](const std::string& label) {
        auto handler = Logging::StreamLogHandler::toStandardError(label);
        handler->setLogLevel(level);
        return handler;
    });
}

// --interface: a name that does not exist is a typing error, said with the names there are.
std::optional<int> chooseInterface(const CommandLine& line, Tidemark::AppCoreOptions& options,
                                   const Tidemark::Translations& translations) {
    const QCommandLineParser& parser = line.parser;
    const QCommandLineOption& interfaceOption = line.interfaceOption;
    if (parser.isSet(interfaceOption)) {
        const QString name = parser.value(interfaceOption);
        if (auto names = captureInterfaces();
            names && std::find(names->begin(), names->end(), name.toStdString()) == names->end()) {
            std::string list;
            for (const std::string& each : *names) list += (list.empty() ? "" : ", ") + each;
            complain(translations.text(QT_TRANSLATE_NOOP("Tidemark", "there is no network interface named %1; there are: %2"))
                         .arg(name, QString::fromStdString(list)));
            return 1;
        }
        options.captureInterface = name;
    }
    return std::nullopt;
}

// Keys for scripted use: a file named on the command line, else the environment; neither is passed on.
std::optional<int> readFixedKeys(const CommandLine& line, Tidemark::AppCoreOptions& options,
                                 const Tidemark::Translations& translations) {
    using namespace Tidemark;
    const QCommandLineParser& parser = line.parser;
    const QCommandLineOption& territoryKeyFileOption = line.territoryKeyFileOption;
    const QCommandLineOption& ipInfoTokenFileOption = line.ipInfoTokenFileOption;
    for (auto [option, variable, target] :
         {std::tuple{&territoryKeyFileOption, "TIDEMARK_TERRITORY_KEY", &options.fixedTerritoryKey},
          std::tuple{&ipInfoTokenFileOption, "TIDEMARK_IPINFO_TOKEN", &options.fixedIpInfoToken}}) {
        if (parser.isSet(*option)) {
            KeyStore::KeyFileProblem problem{};
            *target = KeyStore::readKeyFile(parser.value(*option), &problem);
            if (!*target) {
                const char* why = problem == KeyStore::KeyFileProblem::notPrivate
                                      ? QT_TRANSLATE_NOOP("Tidemark", "the key file %1 can be read by other users; make it "
                                                                      "yours alone (chmod 600 %1)")
                                      : QT_TRANSLATE_NOOP("Tidemark", "cannot read a key from %1");
                complain(translations.text(why).arg(parser.value(*option)));
                return 1;
            }
        } else if (qEnvironmentVariableIsSet(variable)) {
            *target = qEnvironmentVariable(variable).trimmed().left(512);
        }
        // No program Tidemark starts (the capture helper, pkexec) inherits a key.
        qunsetenv(variable);
    }
    return std::nullopt;
}

// --services, else the choice kept in Settings.
std::optional<int> chooseServices(const CommandLine& line, Tidemark::AppCoreOptions& options,
                                  const Tidemark::Translations& translations) {
    using namespace Tidemark;
    const QCommandLineParser& parser = line.parser;
    const QCommandLineOption& servicesOption = line.servicesOption;
    if (parser.isSet(servicesOption)) {
        const auto services = parseServices(parser.value(servicesOption).toStdString());
        if (!services) {
            // Name the word that is no service's.
            QString unknown;
            for (const QString& word : parser.value(servicesOption).split(QLatin1Char(','))) {
                if (!parseServices(word.toStdString())) {
                    unknown = word;
                    break;
                }
            }
            complain(translations.text(QT_TRANSLATE_NOOP("Tidemark", "--services: \"%1\" is no service Tidemark knows; it takes some of: %2"))
                         .arg(unknown, Preferences::ids(allServices)));
            return 1;
        }
        options.services = *services;
    } else {
        options.services = Preferences().watchedServices();
    }
    return std::nullopt;
}

// --place, else the place kept in Settings.
std::optional<int> choosePlace(const CommandLine& line, Tidemark::AppCoreOptions& options,
                               const Tidemark::Translations& translations) {
    using namespace Tidemark;
    if (!line.parser.isSet(line.placeOption)) {
        options.ownPlace = Preferences().ownPlace();
        return std::nullopt;
    }
    const QString value = line.parser.value(line.placeOption);
    const auto place = OwnPlace::parse(value);
    if (!place) {
        complain(translations.text(QT_TRANSLATE_NOOP("Tidemark", "--place: \"%1\" is no latitude and longitude on Earth "
                                                                 "(such as 45.5,-73.6), nor \"none\""))
                     .arg(TerritoryLookup::cutToShow(value)));
        return 1;
    }
    options.ownPlace = *place;
    return std::nullopt;
}

// The window, or the terminal when the display cannot be opened.
int runWindow(int argc, char** argv, Tidemark::Translations& translations, Tidemark::AppCoreOptions options,
              const CommandLine& line) {
    using namespace Tidemark;
    const QCommandLineParser& parser = line.parser;
    // A display that cannot be opened leaves Qt its "minimal" platform, and Tidemark the terminal.
    const bool platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || parser.isSet(QStringLiteral("platform"));
    if (!platformChosen) {
        const bool wayland = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") &&
                             !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
        qputenv("QT_QPA_PLATFORM", wayland ? "wayland;xcb;minimal" : "xcb;minimal");
    }
    QApplication app(argc, argv);
    translations.install();
    if (!platformChosen) qunsetenv("QT_QPA_PLATFORM");
    if (!platformChosen && QGuiApplication::platformName() == QLatin1String("minimal")) {
        const QString display = qEnvironmentVariable("DISPLAY", qEnvironmentVariable("WAYLAND_DISPLAY"));
        complain(translations.text(QT_TRANSLATE_NOOP("Tidemark", "cannot open the display %1; showing the status in this terminal "
                                                                 "instead."))
                     .arg(display));
        return runTerminal(options);
    }
    DialogPermissionPrompt prompt;
    PkexecRunner runner;
    KeyStore keys;
    options.keyStore = &keys;
    AppCore core(InfoDictionary::forApplication(), prompt, runner, options);
    Preferences preferences;
    AppDelegate delegate(core);
    delegate.setKeyStore(&keys);
    delegate.setPreferences(&preferences);
    delegate.applicationDidFinishLaunching();
    prompt.setWindow(delegate.mainWindow());
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace Tidemark;
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCoreApplication::setApplicationName(QStringLiteral("tidemark"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(BuildConfig::version));
    // The user's language, from the locale (LANG, LC_ALL, LC_MESSAGES); in force once the application exists.
    Translations translations;
    CommandLine line(translations);
    if (const auto done = line.parse(arguments, translations)) return *done;
    configureLogging(line.parser.isSet(line.verboseOption));
    AppCoreOptions options;
    for (auto step : {chooseInterface, readFixedKeys, chooseServices, choosePlace}) {
        if (const auto failed = step(line, options, translations)) return *failed;
    }
    options.storePath = LookupStore::defaultPath();
    const bool terminal = line.parser.isSet(line.terminalOption) || !hasDisplay();
    if (!terminal && geteuid() == 0) {
        complain(translations.text(QT_TRANSLATE_NOOP("Tidemark", "running the window as root; as yourself it captures through its helper.")));
    }
    if (terminal) {
        QCoreApplication app(argc, argv);
        translations.install();
        return runTerminal(options);
    }
    return runWindow(argc, argv, translations, options, line);
}
