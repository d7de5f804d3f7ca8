#pragma once

#include "AppCore.h"
#include "ContentView.h"
#include "PermissionStep.h"
#include "Preferences.h"
#include "StatusTray.h"
#include "UpdateCheck.h"

#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>
#include <optional>

class QMenu;

namespace Tidemark {

// Asks for capture rights in a dialog, modal to the main window.
class DialogPermissionPrompt final : public PermissionPrompt {
public:
    bool askToGrant(const QString& question) override;
    void setWindow(QWidget* window) { window_ = window; }
    // Called with the box once it is shown (tests answer it, or take a screenshot).
    void setOnShown(std::function<void(QMessageBox&)> onShown) { onShown_ = std::move(onShown); }

private:
    QWidget* window_ = nullptr;
    std::function<void(QMessageBox&)> onShown_;
};

// The application shell: the main window around the content view, its menus and status bar, the tray
// icon, saving the log, copying the acknowledgement, opening links, the About box and checking for updates.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    struct Platform {
        // The chosen file, or none when the user cancels.
        std::function<std::optional<QString>(QWidget* parent)> chooseSavePath;
        std::function<void(const QUrl& url)> openUrl;
        std::function<void(QWidget* parent, const UpdateResult& result)> showUpdateResult;
        // Shows a modal box (the About box); the default runs it.
        std::function<void(QMessageBox& box)> showBox;
        // Shows a modal dialog (Settings, Recent Acknowledgements); the default runs it.
        std::function<void(QDialog& dialog)> showDialog = [](QDialog& dialog) { dialog.exec(); };
    };
    static Platform defaultPlatform();

    AppDelegate(AppCore& core, Platform platform = defaultPlatform(), QObject* parent = nullptr);
    ~AppDelegate() override;

    // Builds and shows the main window; its first appearance starts monitoring.
    void applicationDidFinishLaunching();

    void menuCheckForUpdatesSelected();
    void menuAboutNativeLandSelected();
    void menuContactDeveloperSelected();
    void showAbout();
    // The keys and saved answers (needs a key store); modal. At the first start, it asks for the key.
    void showSettings(bool firstStart = false);
    // The last 20 acknowledgements, each with its Copy button; modal.
    void showRecent();

    // Where Settings keeps the keys; without one there is no Settings item.
    void setKeyStore(KeyStore* keyStore) { keyStore_ = keyStore; }
    // Where Settings keeps the chosen services; without it they cannot be chosen there.
    void setPreferences(Preferences* preferences) { preferences_ = preferences; }
    void setShowDialog(std::function<void(QDialog&)> show) { platform_.showDialog = std::move(show); }

    // "Save Error Log" and the menu's "Save Log…": asks where, defaulting to Documents or else home.
    // Says in the status bar what happened; the window's text is never touched.
    void saveErrorLog();
    void openLink(const QString& address);
    // Puts the acknowledgement, ready to paste in a meeting chat, on the clipboard.
    void copyAcknowledgement();

    // What the About box says.
    QString aboutText() const;
    // "Zoom: 8801–8810; Microsoft Teams: 3478–3481; …"
    static QString servicesText();
    // The tray icon's tooltip: the status, then at most three names and how many more.
    QString trayToolTip() const;
    static QIcon statusIcon(StatusColor color);

    QMainWindow* mainWindow() const { return mainWindow_.get(); }
    QSystemTrayIcon* trayIcon() const { return tray_ ? tray_->icon() : nullptr; }
    QMenu* trayMenu() const { return tray_ ? tray_->menu() : nullptr; }
    ContentView* contentView() const { return contentView_; }
    // Present only when the info dictionary names an update feed.
    UpdateChecker* sharedUpdater() const { return updater_.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void openInfoLink(const QString& key);
    void stateChanged();
    // Sizes the window to its content within the screen and keeps it there; never while minimized.
    void fitWindow();
    void toggleWindow();
    // Where the window was last, or the middle of the screen.
    void placeWindow();
    // Once: when the window first appears, or at once when it starts hidden in the tray.
    void startMonitoring();
    void showMessage(const QString& text);
    // Puts `text` on the clipboard and says whether that worked (the user is told either way).
    bool copyText(const QString& text);
    void setUpTray();
    bool windowShown() const;

    AppCore& core_;
    Platform platform_;
    std::unique_ptr<QMainWindow> mainWindow_;
    ContentView* contentView_ = nullptr;
    std::unique_ptr<WebClient> updateClient_;
    std::unique_ptr<UpdateChecker> updater_;
    std::unique_ptr<StatusTray> tray_;
    KeyStore* keyStore_ = nullptr;
    Preferences* preferences_ = nullptr;
    QAction* settingsAction_ = nullptr;
    QAction* copyAction_ = nullptr;
    QAction* copySentenceAction_ = nullptr;
    QAction* tryAgainAction_ = nullptr;
    bool fitPending_ = false;  // the content changed while the window was minimized
    bool monitoring_ = false;
};

}  // namespace Tidemark
