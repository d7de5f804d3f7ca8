// The window in French and for assistive technology: every text translated (and English unchanged), every
// control named for a screen reader, the status in words, focus in reading order, readable colours.
#include "AboutBox.h"
#include "Readable.h"
#include "RecentDialog.h"
#include "SaveLogDialog.h"
#include "SettingsDialog.h"
#include "TerminalView.h"
#include "Translations.h"
#include "WindowHarness.h"

#include "MemoryStream.h"
#include "Subprocess.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QStyle>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "QtPrinters.h"

namespace {

enum class Shown { waiting, error, answer, peer, retrying };

void show(Window& window, Shown shown) {
    DisplayState& state = window.core.state();
    if (shown == Shown::answer) {
        const Geo geo{"192.0.2.7", "45.5,-73.5", "Montreal", "Quebec", "CA", {}};
        window.showLocated(TerritoryLookup::sentenceFor(StreamMonitor::streamSubject(*NetAddress::fromText("192.0.2.7"), 8801), geo, true), threeTerritories());
        state.setOwnLand({OwnLand::sentence(false), {window.core.territoryLookup().fallbackEntry()}, {}});
    }
    if (shown == Shown::error) {
        state.setMainText(PermissionStep::failureMessage());
        state.setStatusColor(StatusColor::red);
        state.setRetryError(true);
        state.setSaveError(true);
    }
    if (shown == Shown::peer) {
        state.setMainText(StreamMonitor::peerText(QStringLiteral("Zoom")));
        state.setStatusColor(StatusColor::purple);
        state.setOwnLand({OwnLand::sentence(true), threeTerritories(), {}});
    }
    if (shown == Shown::retrying) {
        state.setMainText(QCoreApplication::translate("Tidemark", "There was an error fetching IP data: %1.")
                              .arg(QCoreApplication::translate("Tidemark", "the service did not answer in time")));
        state.setStatusColor(StatusColor::red);
        state.setRetryError(true);
        state.setRetryAt(QDateTime::currentDateTimeUtc().addSecs(30));
        state.setStoreProblem(QCoreApplication::translate("Tidemark", "Tidemark cannot save answers now (%1): it shows what was "
                                                                      "saved before and saves nothing new.")
                                  .arg(QCoreApplication::translate("Tidemark", "the disk is full")));
        state.setOwnLand({{}, {}, QCoreApplication::translate("Tidemark", "Your place's land could not be looked up: %1.")
                                      .arg(QCoreApplication::translate("Tidemark", "the service did not answer in time"))});
    }
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// Every text a user meets, in a fixed order: the window's title, menus, visible labels and buttons with
// their accessible names and descriptions, and the same of the Settings dialog.
QStringList textsOf(QWidget* root) {
    QStringList texts{root->windowTitle()};
    // A countdown reads the same whichever second it was taken at.
    auto add = [&](const QString& text) {
        if (!text.isEmpty()) texts << QString(text).replace(QRegularExpression(QStringLiteral(R"(\d+ s\.)")), QStringLiteral("N s."));
    };
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(root)) continue;
        if (auto* label = qobject_cast<QLabel*>(widget)) add(label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) add(button->text());
        if (auto* box = qobject_cast<QGroupBox*>(widget)) add(box->title());
        add(widget->accessibleName());
        add(widget->accessibleDescription());
    }
    if (auto* window = qobject_cast<QMainWindow*>(root)) {
        for (QAction* menu : window->menuBar()->actions()) {
            add(menu->text());
            for (QAction* action : menu->menu()->actions()) add(action->text());
        }
    }
    return texts;
}

// With `screenshots`, a picture of each state lands beside the other screenshots, named after it. Every
// window state, the terminal's block of each (its "[status: …]" marker aside), the dialogs, and the tray.
QStringList everyText(const QString& screenshots = {}) {
    QStringList texts;
    for (auto [shown, name] : {std::pair{Shown::waiting, "waiting"}, std::pair{Shown::error, "error"},
                               std::pair{Shown::answer, "answer"}, std::pair{Shown::peer, "peer-to-peer"},
                               std::pair{Shown::retrying, "retrying"}}) {
        Window window;
        window.launch();
        TestSupport::MemoryStream out;
        TerminalView terminal(window.core, out.file());
        show(window, shown);
        texts << textsOf(&window.main())
              << window.delegate.trayToolTip().replace(QRegularExpression(QStringLiteral(R"(\d+ s\.)")), QStringLiteral("N s.")).split(QLatin1Char('\n'));
        QApplication::processEvents();
        for (const QString& line : QString::fromStdString(out.text()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            texts << QString(line)
                         .remove(QRegularExpression(QStringLiteral(R"(^\[status: \w+\] ?)")))
                         .replace(QRegularExpression(QStringLiteral(R"(\d+ s\.)")), QStringLiteral("N s."))
                         .trimmed();
        }
        if (!screenshots.isEmpty()) window.screenshot(screenshots + QString::fromLatin1(name));
    }
    QTemporaryDir dir;
    KeyStore keys(dir.filePath(QStringLiteral("keys.json")));
    Window window;
    window.core.setOwnPlace(OwnPlace{QStringLiteral("43.65,-79.38"), QStringLiteral("Montreal")});
    Preferences preferences(dir.filePath(QStringLiteral("tidemark.conf")), dir.filePath(QStringLiteral("autostart.desktop")));
    SettingsDialog settings(window.core, keys, &preferences);
    texts << textsOf(&settings) << ownPlaceText(window.core);
    LookupStore store(dir.filePath(QStringLiteral("lookups.sqlite")), {});
    store.record({QDateTime(QDate(2026, 12, 8), QTime(14, 2), Qt::UTC), "192.0.2.7", "Montreal, Quebec, CA", "text", "Zoom",
                  {"Wendat"}, {"Wendat"}, 0});
    RecentDialog recent(store, [](const QString&) {});
    texts << textsOf(&recent);
    SaveLogDialog save;
    texts << save.windowTitle() << QFileInfo(save.selectedFiles().value(0)).fileName();
    return texts;
}

// Texts that are the same in every language: names, numbers, addresses, the program's own name.
bool sameInEveryLanguage(const QString& text) {
    static const QStringList names{QStringLiteral("Tidemark"), QStringLiteral("OK")};
    if (names.contains(text) || text.startsWith(QStringLiteral("https://")) || text.startsWith(QStringLiteral("<a href"))) {
        return true;
    }
    for (const Territory& territory : threeTerritories()) {
        if (text == territory.properties.name) return true;
    }
    static const QRegularExpression data(QStringLiteral(R"(^[\d\s.,:–\-]*$|\(UDP [\d, –]+\)$|^- |^\d{4}-\d\d-\d\d \d\d:\d\d · )"));
    if (text.startsWith(QStringLiteral("Montreal")) || text == QStringLiteral("Wendat")) return true;
    return data.match(text).hasMatch();
}

}  // namespace

TEST(Translation, FrenchLeavesNoEnglishAndEnglishIsUnchanged) {
    const QStringList english = everyText();
    EXPECT_TRUE(english.contains(DisplayState::waitingForAnyStream()));
    {
        Translations french(QLocale(QLocale::French, QLocale::Canada));
        ASSERT_TRUE(french.loaded());
        french.install();
        const QStringList translated = everyText(QStringLiteral("fr-"));
        ASSERT_EQ(translated.size(), english.size());
        for (qsizetype i = 0; i < english.size(); ++i) {
            if (sameInEveryLanguage(english[i])) continue;
            EXPECT_NE(translated[i], english[i]) << "untranslated: " << english[i].toStdString();
        }
        EXPECT_TRUE(translated.contains(QString::fromUtf8("En attente du flux média d'une réunion…")));
        EXPECT_EQ(QCoreApplication::translate("Tidemark", "and %n more", "peoples not listed", 3), QStringLiteral("et 3 autres"));
        EXPECT_EQ(QCoreApplication::translate("Tidemark", "and %n more", "peoples not listed", 1), QStringLiteral("et 1 autre"));
    }  // the translator leaves with the object
    EXPECT_EQ(everyText(), english);

    // The program takes the language from the environment, its help and its errors included.
    for (const auto& [lang, expected] : {std::pair{"fr_CA.UTF-8", std::vector<std::string>{"Afficher cette aide.", "Utilisation\u00a0: tidemark", "Options\u00a0:\n", "option inconnue\u00a0: nosuch"}},
                                         std::pair{"C", std::vector<std::string>{"Show this help.", "Usage: tidemark", "Options:\n", "unknown option nosuch"}}}) {
        TestSupport::ProgramOptions options;
        options.environment = {std::string("LANG=") + lang, "LC_ALL=", "LC_MESSAGES=", "LANGUAGE="};
        const auto help = TestSupport::runProgram({TIDEMARK_PATH, "--help"}, options);
        const auto wrong = TestSupport::runProgram({TIDEMARK_PATH, "--nosuch"}, options);
        for (const std::string& words : expected) {
            EXPECT_NE((help.out + wrong.err).find(words), std::string::npos) << lang << ": " << words << "\n" << help.out << wrong.err;
        }
    }
}

namespace {

// Every accessible object under `root`, depth first.
void walk(QAccessibleInterface* root, const std::function<void(QAccessibleInterface*)>& visit) {
    visit(root);
    for (int i = 0; i < root->childCount(); ++i) {
        if (QAccessibleInterface* child = root->child(i)) walk(child, visit);
    }
}

}  // namespace

TEST(Accessibility, ControlsNamedStatusInWordsFocusInReadingOrderNewsAnnounced) {
    for (Shown shown : {Shown::waiting, Shown::error, Shown::answer}) {
        Window window;
        window.launch();
        QStringList announced;
        QObject::connect(&window.view(), &ContentView::announced, [&](const QString& text) { announced << text; });
        show(window, shown);
        window.main().show();
        QApplication::processEvents();
        ContentView& view = window.view();
        SCOPED_TRACE(static_cast<int>(shown));

        // Every control a keyboard or a screen reader can act on has a name and a role.
        int controls = 0;
        walk(QAccessible::queryAccessibleInterface(&window.main()), [&](QAccessibleInterface* item) {
            const bool interactive = item->state().focusable || item->role() == QAccessible::Link ||
                                     item->role() == QAccessible::Button || item->role() == QAccessible::MenuItem;
            if (!interactive || item->state().invisible) return;
            ++controls;
            EXPECT_FALSE(item->text(QAccessible::Name).isEmpty()) << item->role();
            EXPECT_NE(item->role(), QAccessible::NoRole);
        });
        EXPECT_GE(controls, 4);
        if (shown == Shown::waiting) {
            QTemporaryDir dir;
            KeyStore keys(dir.filePath(QStringLiteral("keys.json")));
            SettingsDialog settings(window.core, keys);
            settings.show();
            int fields = 0;
            walk(QAccessible::queryAccessibleInterface(&settings), [&](QAccessibleInterface* item) {
                if (!item->state().focusable || item->state().invisible) return;
                ++fields;
                EXPECT_FALSE(item->text(QAccessible::Name).isEmpty()) << "settings: role " << item->role();
            });
            EXPECT_GE(fields, 6);
        }
        // Web links say where they lead; actions are buttons.
        for (LinkLabel* link : view.territoryLinks()) {
            QAccessibleInterface* item = QAccessible::queryAccessibleInterface(link);
            EXPECT_EQ(item->role(), QAccessible::Link);
            EXPECT_TRUE(item->text(QAccessible::Description).contains(link->href()));
        }
        EXPECT_EQ(QAccessible::queryAccessibleInterface(view.tryAgainLink())->role(), QAccessible::Button);

        // The status in words, seen and heard.
        const QString word = statusWord(window.core.state().statusColor());
        EXPECT_EQ(view.statusWordLabel()->text(), word);
        EXPECT_TRUE(QAccessible::queryAccessibleInterface(view.statusDot())->text(QAccessible::Name).contains(word));

        // Tab goes top to bottom, left to right in a row.
        QWidget* widget = view.mainTextLabel();
        QPoint last(-1, -1);
        for (int stops = 0; stops < 20; ++stops, widget = widget->nextInFocusChain()) {
            if (!view.isAncestorOf(widget) || !widget->isVisible() || widget->focusPolicy() == Qt::NoFocus) continue;
            const QPoint at = widget->mapTo(&view, QPoint(0, 0));
            EXPECT_TRUE(at.y() > last.y() || (at.y() == last.y() && at.x() > last.x()))
                << widget->accessibleName().toStdString() << " at " << at.x() << "," << at.y();
            last = at;
        }

        // A new answer or failure is announced once, whatever order its text and colour came in; the
        // waiting text is not news.
        EXPECT_EQ(announced, shown == Shown::waiting ? QStringList() : QStringList{window.core.state().mainText()});
    }
}

TEST(Accessibility, TextAndLinksReadableInLightAndDarkPalettes) {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Link, QColor(0, 0, 255));  // the default link blue, unreadable on dark grey
    dark.setColor(QPalette::LinkVisited, QColor(255, 0, 255));
    dark.setColor(QPalette::PlaceholderText, QColor(0xe0, 0xe0, 0xe0, 128));
    QPalette light = QApplication::style()->standardPalette();
    light.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 100));  // a faint grey
    for (const QPalette& palette : {light, dark, QApplication::palette()}) {
        const QPalette readable = readablePalette(palette);
        const QColor background = readable.color(QPalette::Window);
        for (auto role : {QPalette::WindowText, QPalette::Link, QPalette::LinkVisited, QPalette::PlaceholderText}) {
            EXPECT_GE(contrastRatio(readable.color(role), background), 4.5) << role;
        }
        // A colour that is already readable is kept.
        EXPECT_EQ(readable.color(QPalette::WindowText), palette.color(QPalette::WindowText));
    }
    EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white), 4.54, 0.01);
}
