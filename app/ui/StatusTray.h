#pragma once

#include "AppCore.h"

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;

namespace Tidemark {

// The tray icon: the status by its colour, a few names and the next try in its tooltip, a click to show
// or hide the window, a menu, and a notification when an answer comes while the window is hidden.
class StatusTray : public QObject {
    Q_OBJECT

public:
    struct Window {
        std::function<bool()> shown;
        std::function<void()> toggle;
        std::function<void()> quit;
    };
    // `actions` go in the menu between Show/Hide and Quit.
    StatusTray(AppCore& core, Window window, std::vector<QAction*> actions, QObject* parent = nullptr);
    ~StatusTray() override;

    // After a change of the state; `hidden`: the window is not in view.
    void update(bool hidden);

    QSystemTrayIcon* icon() const { return tray_.get(); }
    QMenu* menu() const { return menu_.get(); }
    // The status, then at most three names and how many more.
    static QString toolTip(const DisplayState& state);
    static QIcon statusIcon(StatusColor color);

private:
    AppCore& core_;
    Window window_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QMenu> menu_;
    QAction* showHide_ = nullptr;
    std::vector<Territory> notified_;
};

}  // namespace Tidemark
