// The window as a user meets it: its size, its menu, the permission question over it, copying the
// acknowledgement, the network owner's line, and one screenshot per display state (under the build
// folder's tests/screenshots/).
#include "AppCore.h"
#include "AppDelegate.h"
#include "FakeCapture.h"
#include "TerminalView.h"

#include "MemoryStream.h"
#include "Subprocess.h"

#include <ZuzizavAdiduDazorud/EtherCaptureError.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QJsonObject>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "QtPrinters.h"

using namespace Tidemark;

namespace {

struct NoRunner final : PrivilegedRunner {
    void run(const QString&, std::function<void(PrivilegedOutcome)>) override {}
};

QJsonObject shippedInfo() {
    // As the package ships it: no update feed and no contact address configured.
    return QJsonObject{{"CFBundleShortVersionString", "0.1.0"},
                       {"TMLandAckLink", "https://native-land.ca/resources/territory-acknowledgement/"},
                       {"TMDevContactLink", ""},
                       {"SUFeedURL", ""}};
}

struct Window {
    explicit Window(PermissionPrompt& prompt, AppCoreOptions options = defaults())
        : core(InfoDictionary(shippedInfo()), prompt, runner, std::move(options)),
          delegate(core, AppDelegate::Platform{
                             [this](QWidget*) { return savePath; },
                             [](const QUrl&) {},
                             [this](QWidget*, const UpdateResult& result) { updates.push_back(result); },
                         }) {}

    static AppCoreOptions defaults() {
        AppCoreOptions o;
        o.capture = [](const CaptureParameters&, FrameCallback) -> std::shared_ptr<CaptureSession> {
            return std::make_shared<FakeSession>();
        };
        o.probeInterface = [] { return InterfaceProbe{"eth0", std::nullopt}; };
        return o;
    }
    QMainWindow& main() { return *delegate.mainWindow(); }
    ContentView& view() { return *delegate.contentView(); }
    QSize settledSize() {
        // Layout requests travel up one widget per round.
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        return main().size();
    }
    void showLocated(const QString& sentence, std::vector<Territory> territories, QString org) {
        DisplayState& state = core.state();
        state.setGeo(Geo{"192.0.2.7", "45.5,-73.5", "Montreal", "Quebec", "CA", std::move(org)});
        state.setTerritories(std::move(territories));
        state.setMainText(sentence);
        state.setStatusColor(StatusColor::green);
    }
    QAction* menuAction(const QString& text) {
        for (QAction* action : main().menuBar()->actions().first()->menu()->actions()) {
            if (action->text() == text) return action;
        }
        return nullptr;
    }

    NoRunner runner;
    std::optional<QString> savePath;
    std::vector<UpdateResult> updates;
    AppCore core;
    AppDelegate delegate;
};

struct QuietPrompt final : PermissionPrompt {
    bool askToGrant(const QString&) override { return false; }
};

const QString sentence = QStringLiteral(
    "The Zoom stream to your computer is coming from a server with the IP address 192.0.2.7, based in Montreal, "
    "Quebec, CA. The land on which that server sits is the traditional territory of the following people:");

std::vector<Territory> threeTerritories() {
    return {{"a", {QString::fromUtf8("Kanien'kehá:ka"), "https://native-land.ca/maps/territories/kanienkehaka/"}, "F"},
            {"b", {QString::fromUtf8("Omàmìwininìwak"), "https://native-land.ca/maps/territories/omamiwininiwak/"}, "F"},
            {"c", {"Wendat", "https://native-land.ca/maps/territories/wendat/"}, "F"}};
}

void saveScreenshot(const QImage& image, const QString& name) {
    QDir().mkpath(QStringLiteral(TIDEMARK_ARTIFACT_DIR));
    EXPECT_TRUE(image.save(QStringLiteral(TIDEMARK_ARTIFACT_DIR "/%1.png").arg(name)));
}

}  // namespace

TEST(Window, ShippedInfoMeansNoUpdaterAndNoContactLink) {
    QuietPrompt prompt;
    Window window(prompt);
    window.delegate.applicationDidFinishLaunching();
    EXPECT_FALSE(window.delegate.sharedUpdater());
    ASSERT_TRUE(window.menuAction(QStringLiteral("Check for Updates\u2026")));
    EXPECT_FALSE(window.menuAction(QStringLiteral("Check for Updates\u2026"))->isEnabled());
    EXPECT_FALSE(window.menuAction(QStringLiteral("Contact the developer"))->isEnabled());
    window.delegate.menuCheckForUpdatesSelected();
    window.delegate.menuContactDeveloperSelected();
    QApplication::processEvents();
    EXPECT_TRUE(window.updates.empty());  // no box of any kind
    EXPECT_FALSE(window.core.state().statusText().contains(QStringLiteral("Refused")));
}

TEST(Window, FixedSizeFromItsContentWithoutGapsOrMaximize) {
    QuietPrompt prompt;
    Window window(prompt);
    window.delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window.main()));
    EXPECT_FALSE(window.main().windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.main().windowFlags() & Qt::WindowMinimizeButtonHint);
    const QSize waiting = window.settledSize();
    EXPECT_EQ(window.main().minimumSize(), window.main().maximumSize());  // not resizable
    EXPECT_GE(waiting.width(), 252);

    // A long sentence and back to a short one: the window is as if the long one had never been.
    DisplayState& state = window.core.state();
    state.setMainText(QString(40, QLatin1Char(' ')).replace(QLatin1Char(' '), QStringLiteral("word ")).repeated(4));
    const QSize tall = window.settledSize();
    EXPECT_GT(tall.height(), waiting.height());
    EXPECT_EQ(tall.width(), waiting.width());
    state.setMainText(DisplayState::waitingText);
    EXPECT_EQ(window.settledSize(), waiting);

    // A long territory name wraps within the column instead of widening the window.
    const QString longName = QStringLiteral("A people whose name, as the service gives it, runs far longer than the "
                                            "column of the window is wide");
    window.showLocated(sentence, {{"x", {longName, "https://t/"}, "F"}}, {});
    const QSize withLongName = window.settledSize();
    EXPECT_EQ(withLongName.width(), waiting.width());
    ASSERT_EQ(window.view().territoryLinks().size(), 1u);
    EXPECT_EQ(window.view().territoryLinks()[0]->width(), ContentView::columnWidth);
    EXPECT_GT(window.view().territoryLinks()[0]->height(), window.view().acknowledgementLink()->height());
}

TEST(Window, PermissionQuestionIsModalToTheShownWindow) {
    // First start without capture rights: the window is on screen, red request text and all, behind the box.
    DialogPermissionPrompt prompt;
    AppCoreOptions options = Window::defaults();
    options.capture = [](const CaptureParameters&, FrameCallback) -> std::shared_ptr<CaptureSession> {
        throw ZuzizavAdiduDazorud::EtherCaptureError::pcap_open_live_failed(
            "any: You don't have permission to perform this capture on that device (socket: Operation not permitted)");
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
        EXPECT_EQ(window.view().mainTextLabel()->text(), PermissionStep::requestMessage);
        EXPECT_EQ(window.view().statusDot()->color(), StatusColor::red);
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
    window.delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked; }, 10000));
    EXPECT_TRUE(window.core.state().retryError());
}

TEST(Window, CopyAcknowledgementAndTheNetworkOwner) {
    QuietPrompt prompt;
    Window window(prompt);
    window.delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window.main()));
    QAction* copy = window.menuAction(QStringLiteral("Copy Acknowledgement"));
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->isEnabled());
    EXPECT_FALSE(window.view().copyAcknowledgementLink()->isVisible());
    EXPECT_FALSE(window.view().networkOwnerLabel()->isVisible());
    saveScreenshot(window.main().grab().toImage(), QStringLiteral("waiting"));

    window.showLocated(sentence, threeTerritories(), QStringLiteral("AS13335 Cloudflare, Inc."));
    QApplication::processEvents();
    EXPECT_TRUE(copy->isEnabled());
    EXPECT_TRUE(window.view().copyAcknowledgementLink()->isVisible());
    EXPECT_TRUE(window.view().networkOwnerLabel()->isVisible());
    EXPECT_EQ(window.view().networkOwnerLabel()->text(), QStringLiteral("AS13335 Cloudflare, Inc."));
    saveScreenshot(window.main().grab().toImage(), QStringLiteral("located"));

    QApplication::clipboard()->clear();
    window.view().copyAcknowledgementLink()->activate();
    EXPECT_EQ(QApplication::clipboard()->text(),
              sentence + QString::fromUtf8("\nKanien'kehá:ka: https://native-land.ca/maps/territories/kanienkehaka/"
                                           "\nOmàmìwininìwak: https://native-land.ca/maps/territories/omamiwininiwak/"
                                           "\nWendat: https://native-land.ca/maps/territories/wendat/\n"));

    // No owner known: no line. A failure: no owner line and nothing to copy.
    window.core.state().setGeo(Geo{"192.0.2.7", "45.5,-73.5", "Montreal", "Quebec", "CA", ""});
    QApplication::processEvents();
    EXPECT_FALSE(window.view().networkOwnerLabel()->isVisible());
    window.core.state().setGeo(Geo{"192.0.2.7", "45.5,-73.5", "Montreal", "Quebec", "CA", "AS64500 Example"});
    window.core.state().setMainText(QStringLiteral("There was an error fetching territory data: The request timed out."));
    window.core.state().setStatusColor(StatusColor::red);
    QApplication::processEvents();
    EXPECT_FALSE(window.view().networkOwnerLabel()->isVisible());
    EXPECT_FALSE(copy->isEnabled());
    EXPECT_FALSE(window.view().copyAcknowledgementLink()->isVisible());
    saveScreenshot(window.main().grab().toImage(), QStringLiteral("failed"));
}

TEST(Window, SaveLogFromAGreenSession) {
    QuietPrompt prompt;
    Window window(prompt);
    window.delegate.applicationDidFinishLaunching();
    window.showLocated(sentence, threeTerritories(), {});
    QAction* save = window.menuAction(QStringLiteral("Save Log\u2026"));
    ASSERT_TRUE(save);
    EXPECT_TRUE(save->isEnabled());
    EXPECT_EQ(save->shortcut(), QKeySequence(QKeySequence::Save));
    EXPECT_FALSE(window.view().saveErrorLogLink()->isVisible());  // the session never turned red
    QTemporaryDir dir;
    window.savePath = dir.filePath(QStringLiteral("Tidemark Log.txt"));
    save->trigger();
    QFile file(*window.savePath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), window.core.state().statusText().toUtf8());
    // The dialog starts in Documents, or in the home folder when there is none.
    const QString folder = AppDelegate::saveLogFolder();
    EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
}

TEST(TerminalView, OneBlockPerChangeSentenceBeforeLinks) {
    TestSupport::MemoryStream out;
    {
        QuietPrompt prompt;
        Window window(prompt);
        TerminalView view(window.core, out.file());
        view.start(false);
        // The lookup writes the territories first and the sentence after: the block still reads in order.
        window.showLocated(sentence, threeTerritories(), QStringLiteral("AS13335 Cloudflare, Inc."));
        QApplication::processEvents();
    }
    const QString text = QString::fromStdString(out.text());
    const QString block = QStringLiteral("[status: green]\n") + sentence + QString::fromUtf8(
        "\n  (AS13335 Cloudflare, Inc.)"
        "\n  - Kanien'kehá:ka <https://native-land.ca/maps/territories/kanienkehaka/>"
        "\n  - Omàmìwininìwak <https://native-land.ca/maps/territories/omamiwininiwak/>"
        "\n  - Wendat <https://native-land.ca/maps/territories/wendat/>"
        "\nCopy the acknowledgement: type c.\n");
    EXPECT_TRUE(text.contains(block)) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("[status: green]")), 1);  // one change, one block
}

TEST(Program, OptionsAndAStandardOutputThatCarriesOnlyTheView) {
    auto unknown = TestSupport::runProgram({TIDEMARK_PATH, "--frobnicate"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("tidemark: Unknown option 'frobnicate'."), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("Usage: tidemark [options]"), std::string::npos);
    auto missing = TestSupport::runProgram({TIDEMARK_PATH, "--interface"});
    EXPECT_EQ(missing.exitCode, 1);
    auto help = TestSupport::runProgram({TIDEMARK_PATH, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--interface <NAME>"), std::string::npos);
    auto version = TestSupport::runProgram({TIDEMARK_PATH, "--version"});
    EXPECT_EQ(version.out.rfind("Tidemark ", 0), 0u);

    // Terminal mode with the library talking (--verbose): its lines go to standard error only.
    auto run = TestSupport::runProgram({TIDEMARK_PATH, "--terminal", "--verbose", "--interface", "nosuchdev0"},
                                       TestSupport::ProgramOptions::during([](pid_t pid) {
                                           std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                                           kill(pid, SIGTERM);
                                       }));
    EXPECT_NE(run.out.find("[status: red]\nCapture failed: there is no network interface named nosuchdev0."),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("org.tidemark.ZuzizavAdiduDazorud"), std::string::npos) << run.out;
    if (geteuid() == 0) {
        // Captured in-process as root: the library's warning went to standard error.
        EXPECT_NE(run.err.find("Executing netpeek on interface nosuchdev0"), std::string::npos) << run.err;
    }
}
