#include "StatusTray.h"
#include "Readable.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPainter>

namespace Tidemark {

StatusTray::StatusTray(AppCore& core, Window window, std::vector<QAction*> actions, QObject* parent)
    : QObject(parent), core_(core), window_(std::move(window)) {
    tray_ = std::make_unique<QSystemTrayIcon>(statusIcon(core_.state().statusColor()));
    menu_ = std::make_unique<QMenu>();
    showHide_ = menu_->addAction(QCoreApplication::translate("Tidemark", "Hide Tidemark"));
    connect(showHide_, &QAction::triggered, this, [this] { window_.toggle(); });
    for (QAction* action : actions) {
        if (action) menu_->addAction(action);
    }
    menu_->addSeparator();
    connect(menu_->addAction(QCoreApplication::translate("Tidemark", "Quit")), &QAction::triggered, this, [this] { window_.quit(); });
    connect(menu_.get(), &QMenu::aboutToShow, this, [this] {
        showHide_->setText(window_.shown() ? QCoreApplication::translate("Tidemark", "Hide Tidemark")
                                           : QCoreApplication::translate("Tidemark", "Show Tidemark"));
    });
    tray_->setContextMenu(menu_.get());
    connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) window_.toggle();
    });
    update(!window_.shown());
    tray_->show();
}

StatusTray::~StatusTray() = default;

void StatusTray::update(bool hidden) {
    tray_->setIcon(statusIcon(core_.state().statusColor()));
    tray_->setToolTip(toolTip(core_.state()));
    // A new territory answer while the window is hidden is worth a notification.
    const std::vector<Territory>& territories = core_.state().territories();
    if (territories == notified_) return;
    notified_ = territories;
    if (territories.empty() || !hidden) return;
    QStringList names;
    for (const Territory& territory : territories) names << territory.properties.name;
    tray_->showMessage(QStringLiteral("Tidemark"), names.join(QStringLiteral(", ")).left(200), QSystemTrayIcon::Information);
}

QString StatusTray::toolTip(const DisplayState& state) {
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
    // A few names of each list, each cut to a line.
    const auto names = [&lines](const std::vector<Territory>& territories) {
        const std::size_t shown = std::min<std::size_t>(territories.size(), 3);
        for (std::size_t i = 0; i < shown; ++i) {
            QString name = territories[i].properties.name;
            if (name.size() > 60) name = name.left(59) + QChar(0x2026);
            lines << name;
        }
        if (territories.size() > shown) lines << QCoreApplication::translate("Tidemark", "and %n more", "peoples not listed", int(territories.size() - shown));
    };
    if (state.statusColor() == StatusColor::green) names(state.territories());
    if (!state.ownLand().text.isEmpty()) {
        lines << QCoreApplication::translate("Tidemark", "You are joining from the land of");
        names(state.ownLand().territories);
    }
    return lines.join(QLatin1Char('\n'));
}

QIcon StatusTray::statusIcon(StatusColor color) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 0, 90), 1.5));
    painter.setBrush(statusDotColor(color));
    painter.drawEllipse(QRectF(4, 4, 24, 24));
    return QIcon(pixmap);
}

}  // namespace Tidemark
