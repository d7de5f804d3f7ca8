#pragma once

#include "AppCore.h"
#include "ContentView.h"
#include "PermissionStep.h"
#include "UpdateCheck.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace Tidemark {

// Asks for capture rights in a dialog.
// Asks for capture rights in a dialog, modal to the main window.
class DialogPermissionPrompt final : public PermissionPrompt {
public:
    bool askToGrant(const QString& question) override;
    void activate() override;
    void setWindow(QWidget* window) { window_ = window; }
    // Called with the box once it is shown (tests answer it, or take a screenshot).
    void setOnShown(std::function<void(QMessageBox&)> onShown) { onShown_ = std::move(onShown); }

private:
    QWidget* window_ = nullptr;
    std::function<void(QMessageBox&)> onShown_;
};

// The application shell: the main window around the content view, the menu, saving the log,
// opening links and checking for updates.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    struct Platform {
        // The chosen file, or none when the user cancels.
        std::function<std::optional<QString>(QWidget* parent)> chooseSavePath;
        std::function<void(const QUrl& url)> openUrl;
        std::function<void(QWidget* parent, const UpdateResult& result)> showUpdateResult;
    };
    static Platform defaultPlatform();

    AppDelegate(AppCore& core, Platform platform = defaultPlatform(), QObject* parent = nullptr);
    ~AppDelegate() override;

    // Builds and shows the main window; its first appearance starts monitoring.
    void applicationDidFinishLaunching();

    void menuCheckForUpdatesSelected();
    void menuAboutNativeLandSelected();
    void menuContactDeveloperSelected();

    // "Save Error Log" and the menu's "Save Log…": asks where, defaulting to Documents or else home.
    void saveErrorLog();
    void openLink(const QString& address);
    // Puts the acknowledgement, ready to paste in a meeting chat, on the clipboard.
    void copyAcknowledgement();

    static QString saveLogFolder();

    QMainWindow* mainWindow() const { return mainWindow_.get(); }
    QSystemTrayIcon* trayIcon() const { return tray_.get(); }
    ContentView* contentView() const { return contentView_; }
    // Present only when the info dictionary names an update feed.
    UpdateChecker* sharedUpdater() const { return updater_.get(); }

private:
    void openInfoLink(const QString& key);
    void stateChanged();
    void setUpTray();
    void updateTray();
    static QIcon applicationIcon();

    AppCore& core_;
    Platform platform_;
    std::unique_ptr<QMainWindow> mainWindow_;
    ContentView* contentView_ = nullptr;
    std::unique_ptr<WebClient> updateClient_;
    std::unique_ptr<UpdateChecker> updater_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    QAction* copyAction_ = nullptr;
    std::vector<Territory> notifiedTerritories_;
};

}  // namespace Tidemark
