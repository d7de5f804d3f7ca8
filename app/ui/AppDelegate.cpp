#include "AppDelegate.h"
#include "Readable.h"

#include "BuildConfig.h"
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

// The shown main window, for a prompt asked before anyone told it which window it belongs to.
QWidget* visibleMainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(widget) && widget->isVisible()) return widget;
    }
    return nullptr;
}

QString hostOf(const char* address) { return QUrl(QString::fromUtf8(address)).host(); }

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

bool DialogPermissionPrompt::askToGrant(const QString& question) {
    // A sheet on the main window, which is shown (with the red request text) behind it.
    QWidget* parent = window_ ? window_ : visibleMainWindow();
    QMessageBox box(QMessageBox::Question, QStringLiteral("Tidemark"), question, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    if (onShown_) QTimer::singleShot(0, &box, [this, &box] { onShown_(box); });
    return box.exec() == QMessageBox::Ok;
}

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
        const QString text = core_.acknowledgementText().section(QLatin1Char('\n'), 0, 0);
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

QIcon AppDelegate::statusIcon(StatusColor color) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 0, 90), 1.5));
    painter.setBrush(statusDotColor(color));
    painter.drawEllipse(QRectF(4, 4, 24, 24));
    return QIcon(pixmap);
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
    tray_ = std::make_unique<QSystemTrayIcon>(statusIcon(core_.state().statusColor()));
    trayMenu_ = std::make_unique<QMenu>();
    showHideAction_ = trayMenu_->addAction(QCoreApplication::translate("Tidemark", "Hide Tidemark"));
    connect(showHideAction_, &QAction::triggered, this, &AppDelegate::toggleWindow);
    trayMenu_->addAction(copyAction_);
    trayMenu_->addAction(tryAgainAction_);
    trayMenu_->addSeparator();
    connect(trayMenu_->addAction(QCoreApplication::translate("Tidemark", "Quit")), &QAction::triggered, mainWindow_.get(), &QWidget::close);
    connect(trayMenu_.get(), &QMenu::aboutToShow, this, [this] {
        const bool shown = mainWindow_ && mainWindow_->isVisible() && !mainWindow_->isMinimized();
        showHideAction_->setText(shown ? QCoreApplication::translate("Tidemark", "Hide Tidemark") : QCoreApplication::translate("Tidemark", "Show Tidemark"));
    });
    tray_->setContextMenu(trayMenu_.get());
    connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) toggleWindow();
    });
    updateTray();
    tray_->show();
}

QString AppDelegate::trayToolTip() const {
    const DisplayState& state = core_.state();
    QStringList lines;
    switch (state.statusColor()) {
        case StatusColor::orange: lines << QCoreApplication::translate("Tidemark", "Tidemark: waiting for a meeting's media stream"); break;
        case StatusColor::blue: lines << QCoreApplication::translate("Tidemark", "Tidemark: looking up the media server"); break;
        case StatusColor::red: lines << QCoreApplication::translate("Tidemark", "Tidemark: something went wrong (open the window)"); break;
        case StatusColor::green: lines << QCoreApplication::translate("Tidemark", "Tidemark: the server stands on the land of"); break;
        case StatusColor::purple: lines << QCoreApplication::translate("Tidemark", "Tidemark: no server to look up"); break;
    }
    if (state.statusColor() == StatusColor::purple) lines << state.mainText().left(200);
    if (state.retryAt()) {
        const int seconds = int(std::max<qint64>(0, QDateTime::currentDateTimeUtc().secsTo(*state.retryAt())));
        lines << QCoreApplication::translate("Tidemark", "Trying again in %n s.", "a countdown", seconds);
    }
    if (state.statusColor() == StatusColor::green) {
        const auto& territories = state.territories();
        const std::size_t shown = std::min<std::size_t>(territories.size(), 3);
        for (std::size_t i = 0; i < shown; ++i) {
            QString name = territories[i].properties.name;
            if (name.size() > 60) name = name.left(59) + QChar(0x2026);
            lines << name;
        }
        if (territories.size() > shown) lines << QCoreApplication::translate("Tidemark", "and %n more", "peoples not listed", int(territories.size() - shown));
    }
    return lines.join(QLatin1Char('\n'));
}

void AppDelegate::updateTray() {
    if (!tray_) return;
    tray_->setIcon(statusIcon(core_.state().statusColor()));
    tray_->setToolTip(trayToolTip());
}

void AppDelegate::stateChanged() {
    const bool canCopy = !core_.acknowledgementText().isEmpty();
    if (copyAction_) copyAction_->setEnabled(canCopy);
    if (copySentenceAction_) copySentenceAction_->setEnabled(canCopy);
    if (tryAgainAction_) tryAgainAction_->setEnabled(core_.state().retryError());
    if (mainWindow_) mainWindow_->setWindowIcon(statusIcon(core_.state().statusColor()));
    updateTray();
    // A new territory answer while the window is hidden is worth a notification.
    const std::vector<Territory>& territories = core_.state().territories();
    if (territories != notifiedTerritories_) {
        notifiedTerritories_ = territories;
        const bool hidden = !mainWindow_ || !mainWindow_->isVisible() || mainWindow_->isMinimized();
        if (!territories.empty() && hidden && tray_) {
            QStringList names;
            for (const Territory& territory : territories) names << territory.properties.name;
            tray_->showMessage(QStringLiteral("Tidemark"), names.join(QStringLiteral(", ")).left(200),
                               QSystemTrayIcon::Information);
        }
    }
}

void AppDelegate::showMessage(const QString& text) {
    if (contentView_) contentView_->showMessage(text);
}

void AppDelegate::copyText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    if (QGuiApplication::clipboard()->text() != text) {
        showMessage(QCoreApplication::translate("Tidemark", "Could not copy: the clipboard did not take the text."));
        core_.state().appendLog(QStringLiteral("Copying failed"));
        return;
    }
    showMessage(QCoreApplication::translate("Tidemark", "Copied: paste it in the meeting's chat."));
}

void AppDelegate::copyAcknowledgement() {
    const QString text = core_.acknowledgementText();
    if (text.isEmpty()) {
        showMessage(QCoreApplication::translate("Tidemark", "Nothing to copy yet: there is no acknowledgement."));
        return;
    }
    copyText(text);
    if (QGuiApplication::clipboard()->text() != text) return;
    showMessage(QCoreApplication::translate("Tidemark", "Copied the acknowledgement: paste it in the meeting's chat."));
    core_.state().appendLog(QStringLiteral("Copied the acknowledgement"));
}

QString AppDelegate::aboutText() const {
    return QCoreApplication::translate("Tidemark",
               "<p><b>Tidemark %1</b></p>"
               "<p>Shows on whose traditional territory the media server of your video meeting stands.</p>"
               "<p>Licence: MIT.</p>"
               "<p>Web services used:<br>"
               "&bull; %2 (where a server stands) receives the media server's address.<br>"
               "&bull; %3 (whose land a place is on) receives the server's position.<br>"
               "Another participant's address (in a peer-to-peer call) and addresses on private networks are never "
               "sent anywhere.</p>"
               "<p>What is captured: UDP datagrams from the meeting services' media ports (%4), and others that "
               "look like a meeting's media or connectivity checks. The capture helper reads their headers and "
               "first bytes and passes on only the other side's address and port, what kind of datagram it is "
               "and how many came; nothing of their content leaves it, and nothing is kept.</p>"
               "<p>Services are recognised by the address ranges they publish for their media servers (lists of "
               "%5) and by their ports.</p>")
        .arg(core_.state().appVersion().value_or(QString::fromUtf8(BuildConfig::version)).toHtmlEscaped(),
             hostOf(BuildConfig::ipInfoBaseAddress).toHtmlEscaped(),
             hostOf(BuildConfig::territoryBaseAddress).toHtmlEscaped(), servicesText().toHtmlEscaped(),
             QString::fromUtf8(publishedRanges::date.data(), qsizetype(publishedRanges::date.size())));
}

QString AppDelegate::servicesText() {
    QStringList services;
    for (const MeetingService& service : meetingServices) {
        services << QStringLiteral("%1: %2").arg(QString::fromUtf8(service.name), Preferences::ports(service));
    }
    return services.join(QStringLiteral("; "));
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
