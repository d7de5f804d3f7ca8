#include "AppDelegate.h"
#include "Readable.h"

#include "BuildConfig.h"
#include "AboutBox.h"
#include "LogFile.h"
#include "RecentDialog.h"
#include "SaveLogDialog.h"
#include "SettingsDialog.h"

#include <QCoreApplication>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QProxyStyle>
#include <QWindow>

namespace Tidemark {

namespace {

constexpr int screenMargin = 40;  // kept free below the window

// Alt alone opens the menu bar, as the desktop's other programs do (Qt's styles leave that off).
class AltOpensMenus final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* data) const override {
        if (hint == QStyle::SH_MenuBar_AltKeyNavigation) return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

}  // namespace

AppDelegate::Platform AppDelegate::defaultPlatform() {
    return Platform{
        [](QWidget* parent) { return SaveLogDialog::choose(parent); },
        [](const QUrl& url) { QDesktopServices::openUrl(url); },
        [](QWidget* parent, const UpdateResult& result) {
            QMessageBox box(parent);
            box.setWindowTitle(QCoreApplication::translate("Tidemark", "Check for Updates"));
            box.setTextFormat(Qt::RichText);
            QString text = result.message.toHtmlEscaped();
            if (result.kind == UpdateResult::Kind::available && !result.link.isEmpty()) {
                text += QCoreApplication::translate("Tidemark", "<br><a href=\"%1\">Download Tidemark %2</a>")
                            .arg(result.link.toHtmlEscaped(), result.version.toHtmlEscaped());
            }
            box.setText(text);
            box.setTextInteractionFlags(Qt::TextBrowserInteraction);
            box.exec();
        },
        [](QMessageBox& box) { box.exec(); },
    };
}

AppDelegate::AppDelegate(AppCore& core, Platform platform, QObject* parent)
    : QObject(parent), core_(core), platform_(std::move(platform)) {
    // An empty or missing feed address means there is no updater.
    if (auto feed = core_.info().string(QStringLiteral("SUFeedURL")); feed && !feed->trimmed().isEmpty()) {
        updateClient_ = std::make_unique<WebClient>(std::chrono::seconds(60));
        updater_ = std::make_unique<UpdateChecker>(*updateClient_, feed->trimmed());
    }
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tidemark.Tidemark"));
    if (!dynamic_cast<AltOpensMenus*>(QApplication::style())) QApplication::setStyle(new AltOpensMenus(QApplication::style()->name()));
    mainWindow_ = std::make_unique<QMainWindow>();
    QMainWindow& window = *mainWindow_;
    window.setWindowTitle(QStringLiteral("Tidemark"));
    window.setWindowIcon(statusIcon(StatusColor::orange));
    // Titled, closable, miniaturizable: no maximize button, and a size the content decides.
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinimizeButtonHint);

    contentView_ = new ContentView(
        core_.state(),
        ContentView::Actions{
            [this] { startMonitoring(); },
            [this](const QString& address) { openLink(address); },
            [this] { core_.retry(); },
            [this] { saveErrorLog(); },
            [this] { menuAboutNativeLandSelected(); },
            [this] { copyAcknowledgement(); },
            [this] { return core_.networkOwner(); },
            core_.info().string(QStringLiteral("TMLandAckLink")).value_or(QString()),
            [this] { showSettings(); },
            [this](const QString& text) { copyText(text); },
        },
        &window);
    window.setCentralWidget(contentView_);
    // The size is set here alone (fitWindow), never by the layout on its own: not while minimized.
    window.layout()->setSizeConstraint(QLayout::SetNoConstraint);
    buildMenus();

    connect(&core_.state(), &DisplayState::changed, this, &AppDelegate::stateChanged);
    connect(contentView_, &ContentView::resized, this, &AppDelegate::fitWindow);
    window.installEventFilter(this);
    stateChanged();
    fitWindow();
    placeWindow();
    setUpTray();
    // The first start asks for the territory key, before the first meeting can turn red for want of it.
    connect(&core_, &AppCore::keysLoaded, this, [this] {
        if (!keyStore_ || !preferences_ || core_.territoryKeyFixed() || !core_.keys().territoryKey.isEmpty() ||
            preferences_->keyAsked()) {
            return;
        }
        preferences_->setKeyAsked();
        QTimer::singleShot(0, this, [this] { showSettings(true); });
    });
    if (tray_ && preferences_ && preferences_->startInTray()) {
        startMonitoring();  // watched from the tray; the window comes when asked for
        return;
    }
    window.show();
}

void AppDelegate::startMonitoring() {
    if (monitoring_) return;
    monitoring_ = true;
    core_.monitor().startMonitoring();
}

void AppDelegate::placeWindow() {
    QMainWindow& window = *mainWindow_;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // Where it was last, when that is still on a screen; else in the middle.
    if (const auto kept = preferences_ ? preferences_->windowPosition() : std::nullopt) {
        for (QScreen* each : QGuiApplication::screens()) {
            if (each->availableGeometry().contains(QRect(*kept, QSize(40, 40)))) {
                window.move(*kept);
                return;
            }
        }
    }
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    frame.moveTop(std::max(frame.top(), screen->availableGeometry().top()));
    window.move(frame.topLeft());
}

void AppDelegate::buildMenus() {
    QMainWindow& window = *mainWindow_;
    QMenu* file = window.menuBar()->addMenu(QCoreApplication::translate("Tidemark", "&File"));
    QAction* save = file->addAction(QCoreApplication::translate("Tidemark", "&Save Log…"));
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this, &AppDelegate::saveErrorLog);
    QAction* recent = file->addAction(QCoreApplication::translate("Tidemark", "&Recent Acknowledgements…"));
    recent->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(recent, &QAction::triggered, this, &AppDelegate::showRecent);
    file->addSeparator();
    QAction* quit = file->addAction(QCoreApplication::translate("Tidemark", "&Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, &window, &QWidget::close);

    QMenu* edit = window.menuBar()->addMenu(QCoreApplication::translate("Tidemark", "&Edit"));
    copyAction_ = edit->addAction(QCoreApplication::translate("Tidemark", "&Copy Acknowledgement"));
    copyAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    connect(copyAction_, &QAction::triggered, this, &AppDelegate::copyAcknowledgement);
    // The sentence alone, for a chat that takes no links.
    copySentenceAction_ = edit->addAction(QCoreApplication::translate("Tidemark", "Copy the &Sentence Alone"));
    connect(copySentenceAction_, &QAction::triggered, this, [this] {
        const QString text = core_.sentencesAlone();
        if (!text.isEmpty()) copyText(text);
    });
    tryAgainAction_ = edit->addAction(QCoreApplication::translate("Tidemark", "&Try Again"));
    tryAgainAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(tryAgainAction_, &QAction::triggered, this, [this] { core_.retry(); });
    if (keyStore_) {
        edit->addSeparator();
        settingsAction_ = edit->addAction(QCoreApplication::translate("Tidemark", "Setti&ngs…"));
        settingsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
        connect(settingsAction_, &QAction::triggered, this, [this] { showSettings(); });
    }

    QMenu* help = window.menuBar()->addMenu(QCoreApplication::translate("Tidemark", "&Help"));
    connect(help->addAction(QCoreApplication::translate("Tidemark", "&Learn More About Territory Acknowledgements")), &QAction::triggered,
            this, &AppDelegate::menuAboutNativeLandSelected);
    // Only what can work in this build is offered.
    if (updater_) {
        connect(help->addAction(QCoreApplication::translate("Tidemark", "Check for &Updates…")), &QAction::triggered, this,
                &AppDelegate::menuCheckForUpdatesSelected);
    }
    if (!core_.info().string(QStringLiteral("TMDevContactLink")).value_or(QString()).isEmpty()) {
        connect(help->addAction(QCoreApplication::translate("Tidemark", "&Contact the Developer")), &QAction::triggered, this,
                &AppDelegate::menuContactDeveloperSelected);
    }
    help->addSeparator();
    connect(help->addAction(QCoreApplication::translate("Tidemark", "&About Tidemark")), &QAction::triggered, this, &AppDelegate::showAbout);

    // F10 opens the menu bar, as in other desktop programs (Alt and the mnemonics work by themselves).
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), &window);
    connect(f10, &QShortcut::activated, &window, [&window] {
        QMenuBar* bar = window.menuBar();
        bar->setFocus(Qt::MenuBarFocusReason);
        bar->setActiveAction(bar->actions().first());
    });
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    // Where the user left the window, for the next start.
    if (watched == mainWindow_.get() && preferences_ && (event->type() == QEvent::Hide || event->type() == QEvent::Close) &&
        mainWindow_->isVisible()) {
        preferences_->setWindowPosition(mainWindow_->pos());
    }
    if (watched == mainWindow_.get() && event->type() == QEvent::WindowStateChange && fitPending_ &&
        !mainWindow_->isMinimized()) {
        QTimer::singleShot(0, this, &AppDelegate::fitWindow);
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::fitWindow() {
    if (!mainWindow_ || !contentView_) return;
    QMainWindow& window = *mainWindow_;
    if (window.isMinimized()) {
        fitPending_ = true;  // resizing a minimized window would bring it back on some desktops
        return;
    }
    fitPending_ = false;
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect available = screen->availableGeometry();
        // The frame's title bar, once the window manager has drawn one; a typical one before.
        const int titleBar = window.isVisible() ? window.frameGeometry().height() - window.geometry().height() : 32;
        const int around = window.menuBar()->sizeHint().height() + std::max(titleBar, 0);
        contentView_->setHeightLimit(available.height() - screenMargin - around);
    }
    window.layout()->invalidate();
    window.layout()->activate();
    window.setFixedSize(window.sizeHint());
    if (screen && window.isVisible()) {
        // Grown past the screen's edge: back within it.
        const QRect available = screen->availableGeometry();
        QRect frame = window.frameGeometry();
        if (frame.bottom() > available.bottom()) frame.moveBottom(available.bottom());
        if (frame.top() < available.top()) frame.moveTop(available.top());
        if (frame.topLeft() != window.frameGeometry().topLeft()) window.move(frame.topLeft());
    }
}

void AppDelegate::toggleWindow() {
    if (!mainWindow_) return;
    if (mainWindow_->isVisible() && !mainWindow_->isMinimized()) {
        mainWindow_->hide();
    } else {
        // The user asked for it: the one time the window comes forward.
        mainWindow_->showNormal();
        mainWindow_->raise();
        mainWindow_->activateWindow();
    }
}

void AppDelegate::setUpTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = std::make_unique<StatusTray>(core_, StatusTray::Window{
                                                    [this] { return windowShown(); },
                                                    [this] { toggleWindow(); },
                                                    [this] { mainWindow_->close(); },
                                                },
                                         std::vector<QAction*>{copyAction_, tryAgainAction_});
}

bool AppDelegate::windowShown() const { return mainWindow_ && mainWindow_->isVisible() && !mainWindow_->isMinimized(); }

QString AppDelegate::trayToolTip() const { return StatusTray::toolTip(core_.state()); }

QIcon AppDelegate::statusIcon(StatusColor color) { return StatusTray::statusIcon(color); }

QString AppDelegate::aboutText() const { return Tidemark::aboutText(core_); }

QString AppDelegate::servicesText() { return Tidemark::servicesText(); }

void AppDelegate::stateChanged() {
    const bool canCopy = !core_.acknowledgementText().isEmpty();
    if (copyAction_) copyAction_->setEnabled(canCopy);
    if (copySentenceAction_) copySentenceAction_->setEnabled(canCopy);
    if (tryAgainAction_) tryAgainAction_->setEnabled(core_.state().retryError());
    if (mainWindow_) mainWindow_->setWindowIcon(statusIcon(core_.state().statusColor()));
    if (tray_) tray_->update(!windowShown());
}

void AppDelegate::showMessage(const QString& text) {
    if (contentView_) contentView_->showMessage(text);
}

bool AppDelegate::copyText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    if (QGuiApplication::clipboard()->text() != text) {
        showMessage(QCoreApplication::translate("Tidemark", "Could not copy: the clipboard did not take the text."));
        core_.state().appendLog(QStringLiteral("Copying failed"));
        return false;
    }
    showMessage(QCoreApplication::translate("Tidemark", "Copied: paste it in the meeting's chat."));
    return true;
}

void AppDelegate::copyAcknowledgement() {
    const QString text = core_.acknowledgementText();
    if (text.isEmpty()) {
        showMessage(QCoreApplication::translate("Tidemark", "Nothing to copy yet: there is no acknowledgement."));
        return;
    }
    if (!copyText(text)) return;
    showMessage(QCoreApplication::translate("Tidemark", "Copied the acknowledgement: paste it in the meeting's chat."));
    core_.state().appendLog(QStringLiteral("Copied the acknowledgement"));
}

void AppDelegate::showAbout() {
    QMessageBox box(mainWindow_.get());
    box.setWindowTitle(QCoreApplication::translate("Tidemark", "About Tidemark"));
    box.setIconPixmap(statusIcon(StatusColor::green).pixmap(48, 48));
    box.setTextFormat(Qt::RichText);
    box.setText(aboutText());
    box.setStandardButtons(QMessageBox::Close);
    if (platform_.showBox) platform_.showBox(box);
}

void AppDelegate::showSettings(bool firstStart) {
    if (!keyStore_) return;
    SettingsDialog dialog(core_, *keyStore_, preferences_, mainWindow_.get());
    if (firstStart) dialog.askForTheKey();
    if (platform_.showDialog) platform_.showDialog(dialog);
}

void AppDelegate::showRecent() {
    RecentDialog dialog(core_.store(), [this](const QString& text) {
        copyText(text);
        if (QGuiApplication::clipboard()->text() == text) {
            showMessage(QCoreApplication::translate("Tidemark", "Copied the acknowledgement: paste it in the meeting's chat."));
        }
    }, mainWindow_.get());
    if (platform_.showDialog) platform_.showDialog(dialog);
}

void AppDelegate::menuCheckForUpdatesSelected() {
    if (!updater_) return;
    updater_->check(core_.state().appVersion().value_or(QStringLiteral("0")), [this](const UpdateResult& result) {
        if (platform_.showUpdateResult) platform_.showUpdateResult(mainWindow_.get(), result);
    });
}

void AppDelegate::menuAboutNativeLandSelected() { openInfoLink(QStringLiteral("TMLandAckLink")); }

void AppDelegate::menuContactDeveloperSelected() { openInfoLink(QStringLiteral("TMDevContactLink")); }

void AppDelegate::openInfoLink(const QString& key) {
    // An empty value is no link: nothing to open.
    if (auto address = core_.info().string(key); address && !address->isEmpty()) openLink(*address);
}

void AppDelegate::openLink(const QString& address) {
    // Links come from a web service: only web addresses reach the desktop's opener, never javascript:,
    // file: or a desktop file on a share. The same rule as for the addresses Tidemark asks.
    const auto url = WebClient::validUrl(address);
    if (!url) {
        const QString scheme = QUrl(address).scheme().toLower();
        core_.state().appendLog(QStringLiteral("Refused to open link with scheme ") +
                                (scheme.isEmpty() ? QStringLiteral("(none)") : scheme.left(32)));
        return;
    }
    if (platform_.openUrl) platform_.openUrl(*url);
}

void AppDelegate::saveErrorLog() {
    if (!platform_.chooseSavePath) return;
    std::optional<QString> path = platform_.chooseSavePath(mainWindow_.get());
    if (!path || path->isEmpty()) return;
    QString error;
    if (writeLogFile(*path, core_.state().statusText(), &error)) {
        showMessage(QCoreApplication::translate("Tidemark", "Saved the log to %1.").arg(QDir::toNativeSeparators(*path)));
    } else {
        core_.state().appendLog(saveLogFailed + QLatin1Char(' ') + error);
        showMessage(saveLogFailedText().arg(error));
    }
}

}  // namespace Tidemark
