#include "AppDelegate.h"

#include "LogFile.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QIcon>
#include <QLayout>
#include <QPainter>
#include <QTimer>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>

namespace Tidemark {

namespace {

// The shown main window, for a prompt asked before anyone told it which window it belongs to.
QWidget* visibleMainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(widget) && widget->isVisible()) return widget;
    }
    return nullptr;
}

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

void DialogPermissionPrompt::activate() {
    QWidget* window = window_ ? window_ : visibleMainWindow();
    if (!window) return;
    window->raise();
    window->activateWindow();
}

AppDelegate::Platform AppDelegate::defaultPlatform() {
    return Platform{
        [](QWidget* parent) -> std::optional<QString> {
            QFileDialog dialog(parent, saveLogTitle);
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setDirectory(saveLogFolder());
            dialog.selectFile(saveLogFileName);
            dialog.setSizeGripEnabled(true);
            dialog.setFilter(dialog.filter() & ~QDir::Hidden);
            if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
            return dialog.selectedFiles().first();
        },
        [](const QUrl& url) { QDesktopServices::openUrl(url); },
        [](QWidget* parent, const UpdateResult& result) {
            QMessageBox box(parent);
            box.setWindowTitle(QStringLiteral("Check for Updates"));
            box.setTextFormat(Qt::RichText);
            QString text = result.message.toHtmlEscaped();
            if (result.kind == UpdateResult::Kind::available && !result.link.isEmpty()) {
                text += QStringLiteral("<br><a href=\"%1\">Download Tidemark %2</a>")
                            .arg(result.link.toHtmlEscaped(), result.version.toHtmlEscaped());
            }
            box.setText(text);
            box.setTextInteractionFlags(Qt::TextBrowserInteraction);
            box.exec();
        },
    };
}

QString AppDelegate::saveLogFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    return QDir::homePath();
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
    mainWindow_ = std::make_unique<QMainWindow>();
    QMainWindow& window = *mainWindow_;
    window.setWindowTitle(QStringLiteral("Tidemark"));
    window.setWindowIcon(applicationIcon());
    // Titled, closable, miniaturizable: no maximize button, and a size the content decides.
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinimizeButtonHint);

    contentView_ = new ContentView(
        core_.state(),
        ContentView::Actions{
            [this] { core_.monitor().startMonitoring(); },
            [this](const QString& address) { openLink(address); },
            [this] { core_.retry(); },
            [this] { saveErrorLog(); },
            [this] { menuAboutNativeLandSelected(); },
            [this] { copyAcknowledgement(); },
            [this] { return core_.networkOwner(); },
        },
        &window);
    window.setCentralWidget(contentView_);

    QMenu* menu = window.menuBar()->addMenu(QStringLiteral("Tidemark"));
    QAction* updates = menu->addAction(QStringLiteral("Check for Updates\u2026"));
    updates->setEnabled(updater_ != nullptr);
    connect(updates, &QAction::triggered, this, &AppDelegate::menuCheckForUpdatesSelected);
    QAction* save = menu->addAction(QStringLiteral("Save Log\u2026"));
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this, &AppDelegate::saveErrorLog);
    copyAction_ = menu->addAction(QStringLiteral("Copy Acknowledgement"));
    copyAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    connect(copyAction_, &QAction::triggered, this, &AppDelegate::copyAcknowledgement);
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("About territory acknowledgements")), &QAction::triggered, this,
            &AppDelegate::menuAboutNativeLandSelected);
    QAction* contact = menu->addAction(QStringLiteral("Contact the developer"));
    contact->setEnabled(!core_.info().string(QStringLiteral("TMDevContactLink")).value_or(QString()).isEmpty());
    connect(contact, &QAction::triggered, this, &AppDelegate::menuContactDeveloperSelected);
    menu->addSeparator();
    QAction* quit = menu->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, &window, &QWidget::close);

    // The window takes the content's size, exactly, as the content changes: not resizable, no gaps.
    window.layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(&core_.state(), &DisplayState::changed, this, &AppDelegate::stateChanged);
    stateChanged();

    window.adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    setUpTray();
    window.show();
    window.raise();
    window.activateWindow();
}

QIcon AppDelegate::applicationIcon() {
    const QIcon themed = QIcon::fromTheme(QStringLiteral("org.tidemark.Tidemark"));
    if (!themed.isNull()) return themed;
    // A build tree: a dot in the status colours' orange.
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 149, 0));
    painter.drawEllipse(QRectF(4, 4, 24, 24));
    return QIcon(pixmap);
}

void AppDelegate::setUpTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = std::make_unique<QSystemTrayIcon>(applicationIcon());
    connect(tray_.get(), &QSystemTrayIcon::activated, this, [this] {
        if (!mainWindow_) return;
        mainWindow_->showNormal();
        mainWindow_->raise();
        mainWindow_->activateWindow();
    });
    updateTray();
    tray_->show();
}

void AppDelegate::updateTray() {
    if (!tray_) return;
    tray_->setToolTip(QStringLiteral("Tidemark: ") + TerritoryLookup::cutToShow(core_.state().mainText()));
}

void AppDelegate::stateChanged() {
    if (copyAction_) copyAction_->setEnabled(!core_.acknowledgementText().isEmpty());
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

void AppDelegate::copyAcknowledgement() {
    const QString text = core_.acknowledgementText();
    if (text.isEmpty()) return;
    QGuiApplication::clipboard()->setText(text);
    core_.state().appendLog(QStringLiteral("Copied the acknowledgement"));
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
    // file: or a desktop file on a share.
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty()) {
        core_.state().appendLog(QStringLiteral("Refused to open link with scheme ") +
                                (scheme.isEmpty() ? QStringLiteral("(none)") : scheme.left(32)));
        return;
    }
    if (platform_.openUrl) platform_.openUrl(url);
}

void AppDelegate::saveErrorLog() {
    if (!platform_.chooseSavePath) return;
    std::optional<QString> path = platform_.chooseSavePath(mainWindow_.get());
    if (!path || path->isEmpty()) return;
    if (!writeLogFile(*path, core_.state().statusText())) core_.state().setMainText(saveLogFailed);
}

}  // namespace Tidemark
