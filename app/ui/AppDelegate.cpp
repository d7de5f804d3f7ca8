#include "AppDelegate.h"

#include "LogFile.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>

namespace Tidemark {

bool DialogPermissionPrompt::askToGrant(const QString& question) {
    return QMessageBox::question(window_, QStringLiteral("Tidemark"), question, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

void DialogPermissionPrompt::activate() {
    if (!window_) return;
    window_->raise();
    window_->activateWindow();
}

AppDelegate::Platform AppDelegate::defaultPlatform() {
    return Platform{
        [](QWidget* parent) -> std::optional<QString> {
            QFileDialog dialog(parent, saveLogTitle);
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
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

AppDelegate::AppDelegate(AppCore& core, Platform platform, QObject* parent)
    : QObject(parent), core_(core), platform_(std::move(platform)) {
    if (auto feed = core_.info().string(QStringLiteral("SUFeedURL"))) {
        updateClient_ = std::make_unique<WebClient>(std::chrono::seconds(60));
        updater_ = std::make_unique<UpdateChecker>(*updateClient_, *feed);
    }
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    mainWindow_ = std::make_unique<QMainWindow>();
    QMainWindow& window = *mainWindow_;
    window.setWindowTitle(QStringLiteral("Tidemark"));
    window.setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinimizeButtonHint);

    contentView_ = new ContentView(
        core_.state(),
        ContentView::Actions{
            [this] { core_.monitor().startMonitoring(); },
            [this](const QString& address) { openLink(address); },
            [this] { core_.retry(); },
            [this] { saveErrorLog(); },
            [this] { menuAboutNativeLandSelected(); },
        },
        &window);
    window.setCentralWidget(contentView_);

    QMenu* menu = window.menuBar()->addMenu(QStringLiteral("Tidemark"));
    connect(menu->addAction(QStringLiteral("Check for Updates\u2026")), &QAction::triggered, this,
            &AppDelegate::menuCheckForUpdatesSelected);
    connect(menu->addAction(QStringLiteral("About territory acknowledgements")), &QAction::triggered, this,
            &AppDelegate::menuAboutNativeLandSelected);
    connect(menu->addAction(QStringLiteral("Contact the developer")), &QAction::triggered, this,
            &AppDelegate::menuContactDeveloperSelected);
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Quit")), &QAction::triggered, &window, &QWidget::close);

    window.adjustSize();
    QSettings settings(QStringLiteral("Tidemark"), QStringLiteral("Tidemark"));
    const QByteArray geometry = settings.value(QStringLiteral("Tidemark/geometry")).toByteArray();
    if (geometry.isEmpty() || !window.restoreGeometry(geometry)) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = window.frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window.move(frame.topLeft());
        }
    }
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (!mainWindow_) return;
        QSettings store(QStringLiteral("Tidemark"), QStringLiteral("Tidemark"));
        store.setValue(QStringLiteral("Tidemark/geometry"), mainWindow_->saveGeometry());
    });
    window.show();
    window.resize(window.sizeHint().expandedTo(window.minimumSizeHint()));
    window.raise();
    window.activateWindow();
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
    if (auto address = core_.info().string(key)) openLink(*address);
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
