#pragma once

#include "AppCore.h"
#include "ContentView.h"
#include "PermissionStep.h"
#include "UpdateCheck.h"

#include <QMainWindow>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace Tidemark {

// Asks for capture rights in a dialog.
class DialogPermissionPrompt final : public PermissionPrompt {
public:
    bool askToGrant(const QString& question) override;
    void activate() override;
    void setWindow(QWidget* window) { window_ = window; }

private:
    QWidget* window_ = nullptr;
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

    void saveErrorLog();
    void openLink(const QString& address);

    QMainWindow* mainWindow() const { return mainWindow_.get(); }
    ContentView* contentView() const { return contentView_; }
    // Present only when the info dictionary names an update feed.
    UpdateChecker* sharedUpdater() const { return updater_.get(); }

private:
    void openInfoLink(const QString& key);

    AppCore& core_;
    Platform platform_;
    std::unique_ptr<QMainWindow> mainWindow_;
    ContentView* contentView_ = nullptr;
    std::unique_ptr<WebClient> updateClient_;
    std::unique_ptr<UpdateChecker> updater_;
};

}  // namespace Tidemark
