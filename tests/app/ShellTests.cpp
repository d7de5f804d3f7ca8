#include "FakeServices.h"
#include "LogFile.h"
#include "SettingsDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include "TerminalView.h"
#include "UpdateCheck.h"
#include "WindowHarness.h"

#include "MemoryStream.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QMainWindow>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "QtPrinters.h"

using namespace Tidemark;
using namespace std::chrono_literals;

namespace {

InfoDictionary info() {
    return InfoDictionary(QJsonObject{{"CFBundleShortVersionString", "1.4.0"},
                                      {"TMLandAckLink", "https://ack.example/page"},
                                      {"TMDevContactLink", 42}});
}

std::vector<Territory> lettered() {
    return {{"a", {"Kanien'kehá:ka", "https://t.example/a"}, "Feature"},
            {"b", {"Omàmìwininìwak", "https://t.example/b"}, "Feature"},
            {"c", {"Wendat", "https://t.example/c"}, "Feature"}};
}

}  // namespace

TEST(Shell, LinksInTheServicesOrderAndWhereTheyLead) {
    Window shell(info());
    shell.launch();
    shell.core.state().setTerritories(lettered());
    shell.core.state().setStatusColor(StatusColor::green);
    std::vector<QString> names;
    for (LinkLabel* link : shell.view().territoryLinks()) names.push_back(link->linkText());
    EXPECT_EQ(names, (std::vector<QString>{QString::fromUtf8("Kanien'kehá:ka"), QString::fromUtf8("Omàmìwininìwak"), "Wendat"}));
    shell.view().territoryLinks()[1]->activate();
    shell.view().acknowledgementLink()->activate();
    EXPECT_EQ(shell.opened, (std::vector<QString>{"https://t.example/b", "https://ack.example/page"}));
    shell.delegate.menuContactDeveloperSelected();  // the key holds no text: nothing opens
    shell.delegate.menuCheckForUpdatesSelected();   // no feed: no updater, nothing happens
    EXPECT_EQ(shell.opened.size(), 2u);

    // The same list again rebuilds nothing; a new list replaces the links.
    LinkLabel* first = shell.view().territoryLinks()[0];
    shell.core.state().setTerritories(lettered());
    EXPECT_EQ(shell.view().territoryLinks()[0], first);
    shell.core.state().setTerritories({});
    EXPECT_TRUE(shell.view().territoryLinks().empty());
}

TEST(Shell, CheckForUpdatesAsksTheFeed) {
    FakeServices services;  // the feed is served where the IP service would be
    services.setIpAnswer({200, ""});
    httplib::Server feed;
    feed.Get("/appcast.xml", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
 <channel><title>Tidemark</title>
  <item><title>1.10.0</title><sparkle:shortVersionString>1.10.0</sparkle:shortVersionString>
   <enclosure url="https://dl.example/tidemark-1.10.0.tar.gz" length="1" type="application/octet-stream"/></item>
  <item><title>1.3.0</title><enclosure url="https://dl.example/1.3" sparkle:shortVersionString="1.3.0"/></item>
 </channel></rss>)",
                             "application/rss+xml");
    });
    const int port = feed.bind_to_any_port("127.0.0.1");
    std::thread server([&] { feed.listen_after_bind(); });
    while (!feed.is_running()) std::this_thread::sleep_for(1ms);

    QJsonObject values{{"CFBundleShortVersionString", "1.4.0"},
                       {"SUFeedURL", QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(port)}};
    Window shell{InfoDictionary(values)};
    ASSERT_TRUE(shell.delegate.sharedUpdater());
    shell.delegate.menuCheckForUpdatesSelected();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shell.updates.empty(); }, 10000));
    EXPECT_EQ(shell.updates[0].kind, UpdateResult::Kind::available);
    EXPECT_EQ(shell.updates[0].version, QStringLiteral("1.10.0"));
    EXPECT_EQ(shell.updates[0].link, QStringLiteral("https://dl.example/tidemark-1.10.0.tar.gz"));
    feed.stop();
    server.join();
}

TEST(UpdateCheck, AppcastsAndVersions) {
    EXPECT_LT(compareVersions("1.9", "1.10"), 0);
    EXPECT_EQ(compareVersions("1.2", "1.2.0"), 0);
    EXPECT_GT(compareVersions("2", "1.99.99"), 0);
    EXPECT_FALSE(parseAppcast("<html><body>not a feed</body></html>"));
    EXPECT_FALSE(parseAppcast("<rss><channel><item>"));
    auto items = parseAppcast(R"(<rss><channel><item><link>https://x/</link></item>
        <item><sparkle:shortVersionString xmlns:sparkle="s">0.2</sparkle:shortVersionString><link>https://y/</link></item>
        </channel></rss>)");
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 1u);  // an item without a version is no release
    EXPECT_EQ((*items)[0].link, QStringLiteral("https://y/"));
}

TEST(InfoDictionary, TextValuesOnly) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Info.json"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"CFBundleShortVersionString":"0.1.0","TMLandAckLink":"https://a/","TMDevContactLink":null})");
    file.close();
    InfoDictionary dictionary = InfoDictionary::load(path);
    EXPECT_EQ(dictionary.string("CFBundleShortVersionString"), QStringLiteral("0.1.0"));
    EXPECT_EQ(dictionary.string("TMLandAckLink"), QStringLiteral("https://a/"));
    EXPECT_FALSE(dictionary.string("TMDevContactLink"));
    EXPECT_FALSE(InfoDictionary::load(dir.filePath("missing.json")).string("TMLandAckLink"));
    EXPECT_FALSE(writeLogFile(dir.filePath("missing/dir/log.txt"), "x"));
}

TEST(TerminalView, PrintsEveryChangeAndTakesCommands) {
    TestSupport::MemoryStream out;
    {
        Window shell(info());
        TerminalView view(shell.core, out.file());
        view.start(false);
        shell.core.state().setTerritories(lettered());
        shell.core.state().setStatusColor(StatusColor::red);
        shell.core.state().setRetryError(true);
        view.command("r");
        EXPECT_FALSE(shell.core.state().retryError());
        EXPECT_EQ(shell.log().count("Starting the capture on any"), 2);
        QTemporaryDir dir;
        view.command("s " + dir.filePath("log.txt").toStdString());
        QFile saved(dir.filePath("log.txt"));
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_EQ(saved.readAll(), shell.core.state().statusText().toUtf8());
    }
    const QString text = QString::fromStdString(out.text());
    EXPECT_TRUE(text.contains(QStringLiteral("[status: orange] Waiting\nWaiting for a meeting's media stream to become available\u2026\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("  - Wendat <https://t.example/c>")));
    EXPECT_TRUE(text.contains(QStringLiteral("[status: red]")));
    EXPECT_TRUE(text.contains(QStringLiteral("Try Again: type r and press Enter.")));
    EXPECT_TRUE(text.contains(QStringLiteral("Save Error Log: type s and a file name")));
    EXPECT_TRUE(text.contains(QStringLiteral("Learn more about territory acknowledgements: https://ack.example/page")));
    EXPECT_TRUE(text.contains(QStringLiteral("Saved the log to ")));
}

TEST(TerminalView, PermissionQuestionOnTheTerminal) {
    TestSupport::MemoryStream out;
    std::vector<std::optional<std::string>> answers = {"OK", " yes ", "no", std::nullopt};
    std::size_t next = 0;
    TerminalPermissionPrompt prompt(out.file(), [&] { return answers[next++]; });
    EXPECT_TRUE(prompt.askToGrant("Grant?"));
    EXPECT_TRUE(prompt.askToGrant("Grant?"));
    EXPECT_FALSE(prompt.askToGrant("Grant?"));
    EXPECT_FALSE(prompt.askToGrant("Grant?"));  // no terminal input: cancel
    EXPECT_NE(out.text().find("Grant?\nType OK to continue"), std::string::npos);
    TestSupport::MemoryStream viewOut;
    Window shell(info());
    TerminalView view(shell.core, viewOut.file());
    view.setAuthenticating(true);  // pkexec has the terminal
    EXPECT_EQ(viewOut.text(), "Authentication in progress\u2026\n");
}

namespace {

// Receives the addresses QDesktopServices hands to a scheme's handler.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    std::vector<QString> urls;

public slots:
    void open(const QUrl& url) { urls.push_back(url.toString()); }
};

}  // namespace

TEST(Shell, OnlyWebAddressesReachTheDesktopsOpener) {
    // Territory links come from a web service: nothing but http and https may reach the opener.
    UrlCatcher catcher;
    const QStringList schemes = {"http", "https", "javascript", "file", "smb", "mailto", "data"};
    for (const QString& scheme : schemes) QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    Window shell(info());
    AppDelegate real(shell.core);  // the real platform: QDesktopServices
    struct Case {
        QString address;
        std::optional<QString> refusedScheme;
    };
    const Case cases[] = {
        {"https://native-land.ca/maps/territories/wendat/", std::nullopt},
        {"http://t.example/b", std::nullopt},
        {"javascript:alert(document.cookie)", "javascript"},
        {"JavaScript:alert(1)", "javascript"},
        {"file:///etc/passwd", "file"},
        {"smb://host/share/x.desktop", "smb"},
        {"data:text/html,<script>alert(1)</script>", "data"},
        {"mailto:someone@example.org", "mailto"},
        {"/etc/passwd", "(none)"},
        {"", "(none)"},
    };
    for (const auto& c : cases) real.openLink(c.address);
    EXPECT_EQ(catcher.urls, (std::vector<QString>{"https://native-land.ca/maps/territories/wendat/", "http://t.example/b"}));
    for (const auto& c : cases) {
        if (c.refusedScheme) {
            EXPECT_TRUE(shell.log().contains("Refused to open link with scheme " + *c.refusedScheme)) << c.address.toStdString();
        }
    }
    for (const QString& scheme : schemes) QDesktopServices::unsetUrlHandler(scheme);
}

TEST(TerminalView, NothingFromOutsideReachesTheTerminalAsAnEscapeSequence) {
    TestSupport::MemoryStream out;
    {
        Window shell(info());
        TerminalView view(shell.core, out.file());
        view.start(false);
        // A sentence that would set the clipboard (OSC 52), names that would retitle and clear the terminal.
        shell.core.state().setMainText(QString::fromUtf8("Based in \x1b]52;c;cm0gLXJmIH4=\x07Montreal"));
        shell.core.state().setTerritories({{"a", {QString::fromUtf8("\x1b]0;pwned\x07Wendat"), "https://t/\x1b[2J"}, "F"},
                                           {"b", {QString::fromUtf8("Kanien'kehá:ka\r\xc2\x9b" "2J"), "https://t/"}, "F"}});
        shell.core.state().appendLog(QString::fromUtf8("Loading territory data for \x1b[31mred"));
        view.command("l");
    }
    const std::string text = out.text();
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos);
    EXPECT_EQ(text.find('\x07'), std::string::npos);
    EXPECT_NE(text.find("Based in \\u{1b}]52;c;cm0gLXJmIH4=\\u{7}Montreal"), std::string::npos) << text;
    EXPECT_NE(text.find("Kanien'kehá:ka\\r\\u{9b}2J"), std::string::npos) << text;
    EXPECT_NE(text.find("Loading territory data for \\u{1b}[31mred"), std::string::npos) << text;
}

#include "ShellTests.moc"

TEST(Shell, TheFirstStartAsksForTheKeyOnceAndStartingAtLoginIsAnAutostartEntry) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tidemark-test-bus");
    QTemporaryDir dir;
    KeyStore keys(dir.filePath(QStringLiteral("keys.json")));
    const QString autostart = dir.filePath(QStringLiteral("autostart/org.tidemark.Tidemark.desktop"));
    Preferences preferences(dir.filePath(QStringLiteral("tidemark.conf")), autostart);
    for (int start = 0; start < 2; ++start) {
        AppCoreOptions options;
        options.keyStore = &keys;
        QuietPrompt prompt;
        Window window(prompt, options);
        std::vector<bool> asked;  // each Settings shown: whether it asked for the key
        bool loaded = false;
        QObject::connect(&window.core, &AppCore::keysLoaded, [&] { loaded = true; });
        window.delegate.setKeyStore(&keys);
        window.delegate.setPreferences(&preferences);
        window.delegate.setShowDialog([&](QDialog& dialog) {
            if (auto* settings = qobject_cast<SettingsDialog*>(&dialog)) {
                asked.push_back(settings->askingForTheKey());
                settings->startAtLoginBox()->setChecked(true);
                settings->startInTrayBox()->setChecked(start == 1);
                settings->save();
            }
        });
        window.launch();
        ASSERT_TRUE(QTest::qWaitFor([&] { return loaded; }, 20000));
        QApplication::processEvents();  // the question, when there is one, comes right after
        EXPECT_EQ(asked, start == 0 ? std::vector<bool>{true} : std::vector<bool>{}) << start;  // the first start only
    }
    QFile entry(autostart);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\nType=Application\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Exec=\"%1\"").arg(QCoreApplication::applicationFilePath()))) << text.toStdString();
    EXPECT_TRUE(preferences.setStartAtLogin(false, {}));
    EXPECT_FALSE(QFile::exists(autostart));
}
