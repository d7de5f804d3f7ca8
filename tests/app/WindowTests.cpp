// The window as a user meets it: every name whole and on screen, honest states, its menus and keyboard,
// saving and copying, the permission question over it, the tray's words, and the program's options. One
// screenshot per state lands under the build folder's tests/screenshots/.
#include "LogFile.h"
#include "RecentDialog.h"
#include "SaveLogDialog.h"
#include "SettingsDialog.h"
#include "TerminalView.h"
#include "Translations.h"
#include "WindowHarness.h"

#include "FakeServices.h"

#include "MemoryStream.h"
#include "Subprocess.h"


#include <QAccessible>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QScrollBar>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QFile>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "QtPrinters.h"

namespace {

void saveScreenshot(const QImage& image, const QString& name) {
    QDir().mkpath(QStringLiteral(TIDEMARK_ARTIFACT_DIR));
    EXPECT_TRUE(image.save(QStringLiteral(TIDEMARK_ARTIFACT_DIR "/%1.png").arg(name)));
}

std::vector<Territory> territories(int count, int nameLength) {
    std::vector<Territory> rows;
    for (int i = 0; i < count; ++i) {
        // Words of varied length, as names are, to the length asked.
        QString name;
        while (name.size() < nameLength) name += QStringLiteral("Anishinaabewaki ").left(3 + (name.size() + i) % 13) + ' ';
        rows.push_back({QString::number(i), {name.left(nameLength).trimmed(), QStringLiteral("https://t.example/%1").arg(i)}, "F"});
    }
    return rows;
}

// Where `widget` is in the window's coordinates, as far as it can be seen (a list scrolls inside its area).
QRect visibleRect(QWidget* widget, QWidget* window) {
    QRect rect(widget->mapTo(window, QPoint(0, 0)), widget->size());
    for (QWidget* parent = widget->parentWidget(); parent && parent != window; parent = parent->parentWidget()) {
        rect &= QRect(parent->mapTo(window, QPoint(0, 0)), parent->size());
    }
    return rect;
}

}  // namespace

TEST(Window, EveryNameWholeAndOnScreen) {
    // Names of every length, lists of every size, the server's and one's own land's: each label as tall as its text needs at its width, no two
    // things drawn over each other, the window within the screen, and the sentence, Copy and Learn more
    // in view. Run at scale 1 here and at scale 2 on a 1280x800 screen by AtScaleTwo.
    Window window;
    window.launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window.main()));
    const QRect available = window.main().screen()->availableGeometry();
    ContentView& view = window.view();
    for (const int count : {1, 10, 60}) {
        for (const int length : {1, 80, 200, 300}) {
            SCOPED_TRACE(testing::Message() << count << " names of " << length << " characters");
            // The land one joins from, as many names again, under the server's.
            window.core.state().setOwnLand({OwnLand::sentence(true), territories(count, length), {}});
            window.showLocated(sentence, territories(count, length), QStringLiteral("AS64500 Example Networks"));
            window.settledSize();
            EXPECT_TRUE(available.contains(window.main().frameGeometry())) << window.main().frameGeometry().height();
            std::vector<QWidget*> drawn{view.statusDot(), view.mainTextLabel(), view.networkOwnerLabel(),
                                        view.territoryArea(), view.copyAcknowledgementLink(),
                                        view.acknowledgementLink()};
            for (QWidget* widget : drawn) {
                ASSERT_TRUE(widget->isVisible());
                EXPECT_EQ(visibleRect(widget, &window.main()).size(), widget->size()) << widget->metaObject()->className();
            }
            for (std::size_t a = 0; a < drawn.size(); ++a) {
                for (std::size_t b = a + 1; b < drawn.size(); ++b) {
                    EXPECT_FALSE(visibleRect(drawn[a], &window.main()).intersects(visibleRect(drawn[b], &window.main())))
                        << a << " over " << b;
                }
            }
            ASSERT_TRUE(view.ownLandLabel());
            std::vector<QLabel*> labels{view.mainTextLabel(), view.networkOwnerLabel()};
            const auto& links = view.territoryLinks();
            ASSERT_EQ(links.size(), static_cast<std::size_t>(2 * count));
            std::vector<QLabel*> rows(links.begin(), links.end());
            rows.insert(rows.begin() + count, view.ownLandLabel());
            labels.insert(labels.end(), rows.begin(), rows.end());
            for (QLabel* label : labels) EXPECT_GE(label->height(), label->heightForWidth(label->width()));
            for (std::size_t i = 1; i < rows.size(); ++i) EXPECT_GT(rows[i]->geometry().top(), rows[i - 1]->geometry().bottom());
            EXPECT_EQ(links.back()->linkText(), territories(count, length).back().properties.name);  // whole
        }
    }
    window.showLocated(sentence, territories(60, 300));
    window.screenshot(QStringLiteral("sixty-names-and-sixty-of-ones-own"));
    window.core.state().setOwnLand({});
    window.showLocated(sentence, territories(1, 300));
    window.screenshot(QStringLiteral("a-name-of-300-characters"));
    // A name without a single space wraps within the column too, and its tooltip holds it whole.
    const QString unbroken(300, QLatin1Char('W'));
    window.showLocated(sentence, {{"u", {unbroken, "https://t.example/u"}, "F"}});
    window.settledSize();
    LinkLabel* link = view.territoryLinks().at(0);
    EXPECT_LE(link->width(), ContentView::columnWidth);
    EXPECT_GE(link->height(), link->heightForWidth(link->width()));
    EXPECT_GT(link->height(), 3 * link->fontMetrics().height());
    EXPECT_TRUE(link->toolTip().startsWith(unbroken));
    EXPECT_EQ(link->accessibleName(), unbroken);
    window.screenshot(QStringLiteral("an-unbroken-name"));
}

TEST(Window, ALongListHoldsItsPlaceAndFocusWhileTheStreamGoesOn) {
    // 60 peoples, the list scrolled half way and a link in it focused; then what a stream brings every
    // half second (log lines, loading flags, a notice that comes and goes): nothing moves, and no link is
    // shown or hidden again for assistive technology.
    Window window;
    window.launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window.main()));
    window.showLocated(sentence, territories(60, 40));
    window.settledSize();
    ContentView& view = window.view();
    QScrollBar* bar = view.territoryArea()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    LinkLabel* focused = view.territoryLinks()[30];
    focused->setFocus();
    view.territoryArea()->ensureWidgetVisible(focused);
    QApplication::processEvents();
    const int position = bar->value();
    ASSERT_GT(position, 0);
    static std::vector<QObject*> shownAgain;
    shownAgain.clear();
    QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
        if (event->type() == QAccessible::ObjectShow || event->type() == QAccessible::ObjectHide) shownAgain.push_back(event->object());
    });
    DisplayState& state = window.core.state();
    for (int datagram = 0; datagram < 40; ++datagram) {
        state.appendLog(QStringLiteral("Candidate media server 198.51.100.%1 (Zoom, port 8801, RTP)").arg(datagram));
        state.setIsLoading(datagram % 2 == 0);
        state.setNotice(datagram % 10 == 5 ? QStringLiteral("Saved answer from 2026-12-08 14:02; the service could not be reached.") : QString());
        QApplication::processEvents();
        EXPECT_EQ(bar->value(), position) << datagram;
        EXPECT_EQ(QApplication::focusWidget(), focused) << datagram;
    }
    QAccessible::installUpdateHandler(nullptr);
    for (QObject* object : shownAgain) {
        EXPECT_EQ(std::find(view.territoryLinks().begin(), view.territoryLinks().end(), object), view.territoryLinks().end());
    }
    window.screenshot(QStringLiteral("sixty-names-scrolled"));
}

TEST(Window, EveryDialogFitsTheScreenAndItsButtonsStayInReach) {
    // Settings, Recent Acknowledgements (20 meetings) and the save dialog, in English and French; run at
    // scale 1 here and at scale 2 on a 1280x800 screen by AtScaleTwo.
    Window window;
    window.launch();
    const QRect available = window.main().screen()->availableGeometry();
    QTemporaryDir dir;
    LookupStore store(dir.filePath(QStringLiteral("lookups.sqlite")), {});
    for (int i = 0; i < 20; ++i) {
        store.record({QDateTime(QDate(2026, 12, 1 + i % 8), QTime(9, i), Qt::UTC), QStringLiteral("192.0.2.%1").arg(i),
                      QStringLiteral("Montreal, Quebec, CA"), "text", "Microsoft Teams",
                      QStringList(12, QString::fromUtf8("Kanien'kehá:ka")), {}, 0});
    }
    for (const bool french : {false, true}) {
        std::optional<Translations> translations;
        if (french) {
            translations.emplace(QLocale(QLocale::French, QLocale::Canada));
            translations->install();
        }
        KeyStore keys(dir.filePath(QStringLiteral("keys.json")));
        Preferences preferences(dir.filePath(QStringLiteral("tidemark.conf")), dir.filePath(QStringLiteral("autostart.desktop")));
        SettingsDialog settings(window.core, keys, &preferences, &window.main());
        RecentDialog recent(store, [](const QString&) {}, &window.main());
        SaveLogDialog save(&window.main());
        for (QDialog* dialog : std::initializer_list<QDialog*>{&settings, &recent, &save}) {
            SCOPED_TRACE(testing::Message() << dialog->metaObject()->className() << (french ? " in French" : ""));
            dialog->show();
            QApplication::processEvents();
            EXPECT_TRUE(available.contains(dialog->frameGeometry())) << dialog->frameGeometry().width() << "x"
                                                                     << dialog->frameGeometry().height();
            for (QAbstractButton* button : dialog->findChildren<QDialogButtonBox*>().value(0)->buttons()) {
                EXPECT_TRUE(available.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size()))) << button->text().toStdString();
            }
            const QString name = QString::fromLatin1(dialog->metaObject()->className()).remove(QStringLiteral("Tidemark::"));
            saveScreenshot(dialog->grab().toImage(), QStringLiteral("dialog-%1%2%3").arg(name, french ? QStringLiteral("-fr") : QString(),
                                                                                            qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? QStringLiteral("-scale2") : QString()));
            dialog->hide();
        }
    }
}

TEST(Window, TheSaveDialogNeverReadsASpecialFile) {
    // Typing a path under /proc once read /proc/kmsg to learn its type, and never came back.
    SaveLogDialog dialog;
    dialog.show();
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 600 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!done) {
            std::fprintf(stderr, "the save dialog hangs on /proc\n");
            std::_Exit(1);
        }
    });
    for (const char* path : {"/proc/", "/proc/km", "/proc/kmsg", "/proc/self/", "/dev/", "/dev/zero"}) {
        name->setText(QString::fromLatin1(path));
        QTest::keyClick(name, Qt::Key_End);
        for (int i = 0; i < 20; ++i) QApplication::processEvents();
    }
    dialog.setDirectory(QStringLiteral("/proc"));
    for (int i = 0; i < 50; ++i) QApplication::processEvents();
    done = true;
    watchdog.join();
    EXPECT_EQ(dialog.windowTitle(), saveLogTitle());
}

TEST(Window, AtScaleTwo) {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) GTEST_SKIP() << "this is the run at scale 2";
    QTemporaryDir dir;
    const QString screens = dir.filePath(QStringLiteral("screens.json"));
    QFile file(screens);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"screens":[{"name":"s","x":0,"y":0,"width":1280,"height":800,"logicalDpi":96,"dpr":1}]})");
    file.close();
    auto run = TestSupport::runProgram(
        {"/proc/self/exe", "--gtest_filter=Window.EveryNameWholeAndOnScreen:Window.EveryDialogFitsTheScreenAndItsButtonsStayInReach"},
        TestSupport::ProgramOptions{{}, false, {}, {"QT_SCALE_FACTOR=2", "QT_QPA_PLATFORM=offscreen:configfile=" + screens.toStdString()}});
    EXPECT_EQ(run.exitCode, 0) << run.out;
}

TEST(Window, HonestStatesKeyboardAndMenus) {
    Window window;
    window.launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window.main()));
    ContentView& view = window.view();
    EXPECT_EQ(view.statusDot()->color(), StatusColor::orange);
    EXPECT_EQ(view.mainTextLabel()->text(), DisplayState::waitingForAnyStream());  // every service is watched
    EXPECT_EQ(window.log().count("Starting the capture on any"), 1);  // the first appearance started the monitor
    EXPECT_FALSE(window.main().windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window.main().minimumSize(), window.main().maximumSize());  // not resizable
    window.screenshot(QStringLiteral("waiting"));

    // While a request runs, the window says so.
    window.core.state().setMainText(DisplayState::lookingUpLocation());
    window.core.state().setStatusColor(StatusColor::blue);
    EXPECT_EQ(view.statusDot()->color(), StatusColor::blue);
    window.screenshot(QStringLiteral("looking-up"));

    // Links lead to real addresses, shown as tooltips; texts can be selected.
    window.showLocated(sentence, threeTerritories(), QStringLiteral("AS13335 Cloudflare, Inc."));
    EXPECT_EQ(view.territoryLinks()[2]->href(), QStringLiteral("https://native-land.ca/maps/territories/wendat/"));
    EXPECT_EQ(view.territoryLinks()[2]->toolTip(), view.territoryLinks()[2]->href());
    EXPECT_TRUE(view.territoryLinks()[2]->text().contains(QStringLiteral("href=\"https://native-land.ca/maps/territories/wendat/\"")));
    EXPECT_EQ(view.acknowledgementLink()->href(), QStringLiteral("https://native-land.ca/resources/territory-acknowledgement/"));
    // Selectable with the mouse, a Tab stop, and no caret blinking after it.
    EXPECT_EQ(view.mainTextLabel()->textInteractionFlags(), Qt::TextSelectableByMouse);
    window.screenshot(QStringLiteral("located"));

    // Tab visits, in reading order, the sentence, each territory, Copy and Learn more, each drawn focused.
    view.mainTextLabel()->setFocus();
    std::vector<QWidget*> visited{QApplication::focusWidget()};
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(visited, (std::vector<QWidget*>{view.mainTextLabel(), view.territoryLinks()[0], view.territoryLinks()[1],
                                              view.territoryLinks()[2], view.copyAcknowledgementLink(),
                                              view.acknowledgementLink()}));
    QTest::keyClick(view.acknowledgementLink(), Qt::Key_Return);
    EXPECT_EQ(window.opened.back(), view.acknowledgementLink()->href());

    // Menus with mnemonics; only what works in this build (no update feed, no contact address).
    QStringList menus;
    for (QAction* menu : window.main().menuBar()->actions()) menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&Help"}));
    EXPECT_FALSE(window.menuAction(QStringLiteral("Check for Updates\u2026")));
    EXPECT_FALSE(window.menuAction(QStringLiteral("Contact the Developer")));
    EXPECT_EQ(window.menuAction(QStringLiteral("Quit"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(window.menuAction(QStringLiteral("Save Log\u2026"))->shortcut(), QKeySequence(QKeySequence::Save));
    QTest::keyClick(&window.main(), Qt::Key_F10);
    EXPECT_EQ(window.main().menuBar()->activeAction(), window.main().menuBar()->actions().first());
    QTest::keyClick(window.main().menuBar(), Qt::Key_Escape);

    // About Tidemark names the version, licence, services and what is captured.
    window.onBox = [](QMessageBox& box) { saveScreenshot(box.grab().toImage(), QStringLiteral("about")); };
    window.menuAction(QStringLiteral("About Tidemark"))->trigger();
    ASSERT_EQ(window.boxes.size(), 1u);
    for (const char* words : {"Tidemark 0.1.0", "MIT", "ipinfo.io", "native-land.ca", "media server's address",
                              "server's position", "UDP datagrams", "2024-10", "peer-to-peer"}) {
        EXPECT_TRUE(window.boxes[0].contains(QString::fromUtf8(words))) << words;
    }

    // The tray says the status and a few names.
    EXPECT_EQ(window.delegate.trayToolTip(),
              QString::fromUtf8("Tidemark: the server stands on the land of\nKanien'kehá:ka\nOmàmìwininìwak\nWendat"));
    window.showLocated(sentence, territories(5, 100));
    const QStringList tip = window.delegate.trayToolTip().split('\n');
    ASSERT_EQ(tip.size(), 5);
    EXPECT_EQ(tip[1].size(), 60);
    EXPECT_EQ(tip[4], QStringLiteral("and 2 more"));
}

TEST(Window, SaveAndCopySayWhatHappenedAndNeverTouchTheAcknowledgement) {
    Window window;
    window.launch();
    window.showLocated(sentence, threeTerritories(), QStringLiteral("AS13335 Cloudflare, Inc."));
    QTemporaryDir dir;

    window.savePath = dir.filePath(QStringLiteral("no such folder/log.txt"));
    window.delegate.saveErrorLog();
    EXPECT_EQ(window.core.state().mainText(), sentence);
    EXPECT_EQ(window.core.state().statusColor(), StatusColor::green);
    EXPECT_TRUE(window.statusMessage().startsWith(QStringLiteral("Sorry, unable to save log file. ")));
    EXPECT_GT(window.statusMessage().size(), QStringLiteral("Sorry, unable to save log file. ").size());

    window.savePath = dir.filePath(QStringLiteral("Tidemark Error Log.txt"));
    window.menuAction(QStringLiteral("Save Log\u2026"))->trigger();
    QFile saved(*window.savePath);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), window.core.state().statusText().toUtf8());
    EXPECT_EQ(window.statusMessage(), QStringLiteral("Saved the log to %1.").arg(*window.savePath));

    QApplication::clipboard()->clear();
    window.view().copyAcknowledgementLink()->activate();
    EXPECT_EQ(QApplication::clipboard()->text(),
              sentence + QString::fromUtf8("\nKanien'kehá:ka: https://native-land.ca/maps/territories/kanienkehaka/"
                                           "\nOmàmìwininìwak: https://native-land.ca/maps/territories/omamiwininiwak/"
                                           "\nWendat: https://native-land.ca/maps/territories/wendat/\n"));
    EXPECT_TRUE(window.statusMessage().startsWith(QStringLiteral("Copied the acknowledgement")));
    EXPECT_EQ(window.core.state().mainText(), sentence);
    // One people's name and link, or its link alone, from the link's menu.
    const QList<QAction*> linkMenu = window.view().territoryLinks().back()->actions();
    ASSERT_EQ(linkMenu.size(), 2);
    for (const auto& [action, copied] : {std::pair{linkMenu[0], "Wendat: https://native-land.ca/maps/territories/wendat/"},
                                         std::pair{linkMenu[1], "https://native-land.ca/maps/territories/wendat/"}}) {
        action->trigger();
        EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8(copied));
        EXPECT_EQ(window.statusMessage(), QStringLiteral("Copied: paste it in the meeting's chat."));
    }
    window.screenshot(QStringLiteral("copied"));
}

TEST(Window, AFailureOffersTryAgainAndTheLogUntilItClears) {
    Window window;
    window.launch();
    DisplayState& state = window.core.state();
    state.setMainText(QStringLiteral("There was an error fetching territory data: the service answered with status 500."));
    state.setStatusColor(StatusColor::red);
    state.setRetryError(true);
    EXPECT_TRUE(window.view().tryAgainLink()->isVisible());
    EXPECT_TRUE(window.view().saveErrorLogLink()->isVisible());
    EXPECT_FALSE(window.view().copyAcknowledgementLink()->isVisible());
    window.screenshot(QStringLiteral("error-with-try-again"));
    window.view().tryAgainLink()->activate();
    EXPECT_FALSE(window.view().tryAgainLink()->isVisible());
    EXPECT_EQ(window.log().count("Starting the capture on any"), 2);
    // A later answer: no error log link beside it.
    window.showLocated(sentence, threeTerritories());
    EXPECT_FALSE(window.view().saveErrorLogLink()->isVisible());
}

TEST(Window, AMinimizedWindowStaysMinimized) {
    Window window;
    window.launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window.main()));
    window.main().showMinimized();
    QApplication::processEvents();
    ASSERT_TRUE(window.main().isMinimized());
    const QSize before = window.main().size();
    window.showLocated(sentence, territories(10, 80));
    QApplication::processEvents();
    EXPECT_TRUE(window.main().isMinimized());
    EXPECT_EQ(window.main().size(), before);  // resized once it is back
    window.main().showNormal();
    EXPECT_GT(window.settledSize().height(), before.height());
}

TEST(Window, PermissionQuestionIsModalToTheShownWindow) {
    // First start without capture rights: the window is on screen, red request text and all, behind the box.
    DialogPermissionPrompt prompt;
    AppCoreOptions options;
    options.capture = [](const CaptureParameters&, ObservationCallback) -> std::shared_ptr<CaptureSession> {
        throw CaptureFailure(CaptureFailure::Kind::permissionDenied, "any: You don't have permission to perform this capture on that device (socket: Operation not permitted)");
    };
    options.grantRoute = [] {
        return GrantRoute{GrantRoute::Kind::script, "/usr/libexec/tidemark/BPF_Permission.sh",
                          "/usr/libexec/tidemark/tidemark-capture"};
    };
    Window window(prompt, options);
    bool asked = false;
    prompt.setOnShown([&](QMessageBox& box) {
        asked = true;
        EXPECT_TRUE(window.main().isVisible());
        EXPECT_EQ(box.parentWidget(), &window.main());
        EXPECT_EQ(box.windowModality(), Qt::WindowModal);
        EXPECT_EQ(box.text(), PermissionStep::question());
        EXPECT_EQ(window.view().mainTextLabel()->text(), PermissionStep::requestMessage());
        // The window with the box over its lower half, as one picture.
        const QPixmap behind = window.main().grab();
        const QPixmap question = box.grab();
        QImage picture(std::max(behind.width(), question.width() + 40), behind.height() / 2 + question.height() + 20,
                       QImage::Format_ARGB32);
        picture.fill(Qt::darkGray);
        QPainter painter(&picture);
        painter.drawPixmap(0, 0, behind);
        painter.drawPixmap(40, behind.height() / 2, question);
        painter.end();
        saveScreenshot(picture, QStringLiteral("permission-requested"));
        box.reject();
    });
    window.launch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked; }, 10000));
    EXPECT_TRUE(window.core.state().retryError());
    EXPECT_EQ(window.core.state().mainText(), PermissionStep::failureMessage() + ' ' + PermissionStep::cancelled());
}

TEST(TerminalView, OneBlockPerChangeSentenceBeforeLinks) {
    TestSupport::MemoryStream out;
    {
        Window window;
        TerminalView view(window.core, out.file());
        view.start(false);
        // The lookup writes the territories first and the sentence after: the block still reads in order.
        window.showLocated(sentence, threeTerritories(), QStringLiteral("AS13335 Cloudflare, Inc."));
        QApplication::processEvents();
    }
    const QString text = QString::fromStdString(out.text());
    const QString block = QStringLiteral("[status: green] Found\n") + sentence + QString::fromUtf8(
        "\n  (Cloudflare, Inc. (AS13335))"
        "\n  - Kanien'kehá:ka <https://native-land.ca/maps/territories/kanienkehaka/>"
        "\n  - Omàmìwininìwak <https://native-land.ca/maps/territories/omamiwininiwak/>"
        "\n  - Wendat <https://native-land.ca/maps/territories/wendat/>"
        "\nCopy the acknowledgement: type c.\n");
    EXPECT_TRUE(text.contains(block)) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("[status: green]")), 1);  // one change, one block
}

TEST(Program, OptionsAndAStandardOutputThatCarriesOnlyTheView) {
    // The program keeps its saved answers and keys in folders of this test's own.
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    using TestSupport::runProgram;
    auto unknown = runProgram({TIDEMARK_PATH, "--frobnicate"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("tidemark: unknown option frobnicate"), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("Usage: tidemark [options]"), std::string::npos);
    EXPECT_EQ(runProgram({TIDEMARK_PATH, "--interface"}).exitCode, 1);
    auto help = runProgram({TIDEMARK_PATH, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--interface <NAME>"), std::string::npos);
    EXPECT_EQ(help.out.find("-style"), std::string::npos);  // Qt's own options: accepted, not listed
    // Qt's own options are Qt's.
    for (const auto& qt : std::vector<std::vector<std::string>>{{"-style", "fusion"}, {"-reverse"}, {"--style=fusion"},
                                                                 {"-platform", "offscreen"}}) {
        std::vector<std::string> argv{TIDEMARK_PATH};
        argv.insert(argv.end(), qt.begin(), qt.end());
        argv.push_back("--version");
        auto version = runProgram(argv);
        EXPECT_EQ(version.exitCode, 0) << qt[0] << version.err;
        EXPECT_EQ(version.out.rfind("Tidemark ", 0), 0u);
    }
    auto services = runProgram({TIDEMARK_PATH, "--terminal", "--services", "teams,skype"});
    EXPECT_EQ(services.exitCode, 1);
    EXPECT_NE(services.err.find("tidemark: --services: \"skype\" is no service Tidemark knows; it takes some of: "
                                "zoom,teams,meet,webex,jitsi"),
              std::string::npos) << services.err;
    for (const char* place : {"91,0", "45.5", "north"}) {
        auto wrong = runProgram({TIDEMARK_PATH, "--terminal", "--place", place});
        EXPECT_EQ(wrong.exitCode, 1);
        EXPECT_NE(wrong.err.find(std::string("tidemark: --place: \"") + place + "\" is no latitude and longitude on Earth"),
                  std::string::npos) << wrong.err;
    }
    // A name that is no interface is a typing error, told with the names there are.
    auto nosuch = runProgram({TIDEMARK_PATH, "--terminal", "--interface", "nosuch"});
    EXPECT_EQ(nosuch.exitCode, 1);
    EXPECT_NE(nosuch.err.find("tidemark: there is no network interface named nosuch; there are: "), std::string::npos)
        << nosuch.err;
    EXPECT_NE(nosuch.err.find("lo"), std::string::npos);
    EXPECT_TRUE(nosuch.out.empty());

    // A display that does not answer: said on standard error, and the terminal view instead.
    auto quitSoon = TestSupport::ProgramOptions::during([](pid_t pid) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        kill(pid, SIGTERM);
    });
    auto noDisplay = runProgram({"env", "-u", "QT_QPA_PLATFORM", "-u", "WAYLAND_DISPLAY", "DISPLAY=:12345", TIDEMARK_PATH,
                                 "--interface", "lo"},
                                quitSoon);
    EXPECT_EQ(noDisplay.signal, SIGTERM) << noDisplay.err;
    EXPECT_NE(noDisplay.err.find("tidemark: cannot open the display :12345; showing the status in this terminal instead."),
              std::string::npos)
        << noDisplay.err;
    EXPECT_NE(noDisplay.out.find("[status: "), std::string::npos) << noDisplay.out;

    // Terminal mode with the library talking (--verbose): its lines go to standard error only.
    auto run = runProgram({TIDEMARK_PATH, "--terminal", "--verbose", "--interface", "lo"}, quitSoon);
    EXPECT_NE(run.out.find("[status: orange] Waiting\nWaiting for a meeting's media stream"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("org.tidemark.ZuzizavAdiduDazorud"), std::string::npos) << run.out;
    if (geteuid() == 0) {
        // Captured in-process as root: the library's warning went to standard error.
        EXPECT_NE(run.err.find("Executing netpeek on interface lo"), std::string::npos) << run.err;
    }
}

TEST(Window, SettingsTestsEachKeyAndKeepsThem) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tidemark-test-bus");
    FakeServices services;
    services.setIpAnswer({200, R"({"ip":"8.8.8.8","city":"C","region":"R","country":"X","loc":"1,2","org":"O"})"});
    services.setTerritoryAnswer({401, "{}"});
    QTemporaryDir dir;
    KeyStore keys(dir.filePath(QStringLiteral("keys.json")));
    QuietPrompt prompt;
    AppCoreOptions options;
    options.ipInfoBaseAddress = services.ipBase();
    options.territoryBaseAddress = services.territoryBase();
    options.keyStore = &keys;  // the core alone writes keys
    Window window(prompt, options);
    Preferences preferences(dir.filePath(QStringLiteral("tidemark.conf")), dir.filePath(QStringLiteral("autostart.desktop")));
    preferences.setKeyAsked();  // not the first start
    window.delegate.setKeyStore(&keys);
    window.delegate.setPreferences(&preferences);
    window.launch();
    std::vector<QString> results;
    window.delegate.setShowDialog([&](QDialog& dialog) {
        auto& settings = static_cast<SettingsDialog&>(dialog);
        settings.testTerritoryButton()->click();
        EXPECT_EQ(settings.territoryResult()->text(), QStringLiteral("Enter a key first."));
        settings.territoryKeyField()->setText(QStringLiteral("my key"));
        for (int status : {401, 200}) {
            services.setTerritoryAnswer({status, "[]"});
            settings.testTerritoryButton()->click();
            EXPECT_TRUE(QTest::qWaitFor([&] { return settings.testTerritoryButton()->isEnabled(); }, 10000));
            results.push_back(settings.territoryResult()->text());
        }
        settings.testIpInfoButton()->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return settings.testIpInfoButton()->isEnabled(); }, 10000));
        results.push_back(settings.ipInfoResult()->text());
        EXPECT_TRUE(QTest::qWaitFor([&] { return settings.storageNote()->text().startsWith(QStringLiteral("No secret store")); }, 10000));
        results.push_back(settings.storageNote()->text());
        saveScreenshot(settings.grab().toImage(), QStringLiteral("settings"));
        ASSERT_EQ(settings.serviceBoxes().size(), meetingServiceCount);
        EXPECT_EQ(settings.serviceBoxes()[1]->text(), QString::fromUtf8("Microsoft Teams (UDP 3478–3481)"));
        for (QCheckBox* box : settings.serviceBoxes()) box->setChecked(false);
        settings.serviceBoxes()[1]->setChecked(true);
        settings.serviceBoxes()[2]->setChecked(true);
        // One's own place: not one on Earth keeps the dialog open; asked for, it comes with its name.
        EXPECT_TRUE(settings.positionField()->text().isEmpty());
        settings.positionField()->setText(QStringLiteral("91, 0"));
        settings.save();
        EXPECT_NE(settings.result(), QDialog::Accepted);
        EXPECT_TRUE(settings.placeResult()->text().startsWith(QStringLiteral("Your place needs a latitude")));
        settings.askPlaceButton()->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return settings.askPlaceButton()->isEnabled(); }, 10000));
        EXPECT_EQ(settings.positionField()->text(), QStringLiteral("1,2"));
        settings.save();
    });
    window.menuAction(QStringLiteral("Settings\u2026"))->trigger();
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0], QStringLiteral("The service refused this key."));
    EXPECT_EQ(results[1], QStringLiteral("The key works."));
    EXPECT_EQ(results[2], QStringLiteral("The service answers with Tidemark's own token, shared by every user."));
    EXPECT_TRUE(results[3].contains(keys.fallbackPath()));
    EXPECT_EQ(window.core.keys().territoryKey, QStringLiteral("my key"));
    const auto requests = services.requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(), [](const std::string& r) { return r.rfind("ip 8.8.8.8", 0) == 0; }), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(keys.fallbackPath()); }, 10000));
    // Teams and Meet alone, from now on and at the next start.
    EXPECT_EQ(window.core.monitor().services(), ServiceSet{0b110});
    EXPECT_EQ(Preferences(dir.filePath(QStringLiteral("tidemark.conf"))).watchedServices(), ServiceSet{0b110});
    EXPECT_EQ(window.core.state().waiting(), DisplayState::waitingForAnyStream());
    const OwnPlace place{QStringLiteral("1,2"), QStringLiteral("C, R, X")};
    EXPECT_EQ(window.core.ownPlace(), place);
    EXPECT_EQ(Preferences(dir.filePath(QStringLiteral("tidemark.conf"))).ownPlace(), place);
    EXPECT_EQ(std::count(requests.begin(), requests.end(), std::string("ip (own) token=") + BuildConfig::ipInfoToken), 1);
}
