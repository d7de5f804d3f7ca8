#include "Preferences.h"

#include <QSettings>
#include <QStandardPaths>

namespace Tidemark {

namespace {
const QString servicesKey = QStringLiteral("services");
}

QString Preferences::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/tidemark.conf");
}

QString Preferences::ids(ServiceSet services) {
    QStringList list;
    for (std::size_t i = 0; i < meetingServiceCount; ++i) {
        if (services & (ServiceSet{1} << i)) list << QString::fromUtf8(meetingServices[i].id);
    }
    return list.join(QLatin1Char(','));
}

QString Preferences::ports(const MeetingService& service) {
    QStringList ports;
    for (const PortRange& range : service.ports) {
        if (range.last == 0) continue;
        ports << (range.first == range.last ? QString::number(range.first)
                                            : QStringLiteral("%1\u2013%2").arg(range.first).arg(range.last));
    }
    return ports.join(QStringLiteral(", "));
}

ServiceSet Preferences::watchedServices() const {
    const QSettings settings(path_, QSettings::IniFormat);
    const QString chosen = settings.value(servicesKey).toString();
    return parseServices(chosen.toStdString()).value_or(allServices);
}

void Preferences::setWatchedServices(ServiceSet services) {
    QSettings settings(path_, QSettings::IniFormat);
    settings.setValue(servicesKey, ids(services));
}

}  // namespace Tidemark
