#pragma once

#include "MeetingServices.h"

#include <QString>

namespace Tidemark {

// The user's choices that are no secret, in tidemark.conf in the application's config folder.
class Preferences {
public:
    explicit Preferences(QString path = defaultPath()) : path_(std::move(path)) {}
    static QString defaultPath();

    // The services whose streams are watched; all when nothing was chosen.
    ServiceSet watchedServices() const;
    void setWatchedServices(ServiceSet services);

    // "zoom,teams" for a set; the ids of the table.
    static QString ids(ServiceSet services);
    // A service's media ports as people read them: "19302–19309, 3478".
    static QString ports(const MeetingService& service);

private:
    QString path_;
};

}  // namespace Tidemark
