#pragma once

#include "MeetingServices.h"
#include "OwnLand.h"

#include <QPoint>
#include <QString>

#include <optional>

namespace Tidemark {

// The user's choices that are no secret, in tidemark.conf in the application's config folder; and the
// desktop's autostart entry, which starts Tidemark at login.
class Preferences {
public:
    explicit Preferences(QString path = defaultPath(), QString autostartPath = defaultAutostartPath())
        : path_(std::move(path)), autostartPath_(std::move(autostartPath)) {}
    static QString defaultPath();
    // ~/.config/autostart/org.tidemark.Tidemark.desktop (XDG autostart).
    static QString defaultAutostartPath();

    // Whether Tidemark starts when the user logs in: the autostart entry is there.
    bool startAtLogin() const;
    // Writes or removes the entry, which runs `program`; false when that failed.
    bool setStartAtLogin(bool on, const QString& program);
    // Whether Tidemark starts in the tray, its window hidden.
    bool startInTray() const;
    void setStartInTray(bool on);
    // Where the window was last, on the screen.
    std::optional<QPoint> windowPosition() const;
    void setWindowPosition(QPoint position);
    // Whether the first start has asked for the territory key already.
    bool keyAsked() const;
    void setKeyAsked();

    // The place the user joins from; none until one is set.
    std::optional<OwnPlace> ownPlace() const;
    void setOwnPlace(const std::optional<OwnPlace>& place);

    // The services whose streams are watched; all when nothing was chosen.
    ServiceSet watchedServices() const;
    void setWatchedServices(ServiceSet services);

    // "zoom,teams" for a set; the ids of the table.
    static QString ids(ServiceSet services);
    // A service's media ports as people read them: "19302–19309, 3478".
    static QString ports(const MeetingService& service);

private:
    QString path_;
    QString autostartPath_;
};

}  // namespace Tidemark
