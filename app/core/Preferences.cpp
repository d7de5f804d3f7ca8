#include "Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace Tidemark {

namespace {
const QString servicesKey = QStringLiteral("services");
const QString trayKey = QStringLiteral("startInTray");
const QString positionKey = QStringLiteral("windowPosition");
const QString keyAskedKey = QStringLiteral("keyAsked");
const QString placeKey = QStringLiteral("ownPlace/position");
const QString placeNameKey = QStringLiteral("ownPlace/name");
}

QString Preferences::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/tidemark.conf");
}

QString Preferences::defaultAutostartPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/org.tidemark.Tidemark.desktop");
}

bool Preferences::startAtLogin() const { return QFileInfo::exists(autostartPath_); }

bool Preferences::setStartAtLogin(bool on, const QString& program) {
    if (!on) return !QFileInfo::exists(autostartPath_) || QFile::remove(autostartPath_);
    QDir().mkpath(QFileInfo(autostartPath_).absolutePath());
    QSaveFile file(autostartPath_);
    if (!file.open(QIODevice::WriteOnly)) return false;
    // The program's path quoted, its \, ", ` and $ escaped, as an Exec key takes it.
    QString quoted = program;
    for (const char* special : {"\\", "\"", "`", "$"}) quoted.replace(QLatin1String(special), QLatin1String("\\") + QLatin1String(special));
    file.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Tidemark\nExec=\"%1\"\nIcon=org.tidemark.Tidemark\n"
                              "Comment=On whose traditional territory your meeting's media server stands\n"
                              "X-GNOME-Autostart-enabled=true\n")
                   .arg(quoted)
                   .toUtf8());
    return file.commit();
}

bool Preferences::startInTray() const { return QSettings(path_, QSettings::IniFormat).value(trayKey).toBool(); }

void Preferences::setStartInTray(bool on) { QSettings(path_, QSettings::IniFormat).setValue(trayKey, on); }

std::optional<QPoint> Preferences::windowPosition() const {
    const QVariant value = QSettings(path_, QSettings::IniFormat).value(positionKey);
    if (!value.isValid()) return std::nullopt;
    return value.toPoint();
}

void Preferences::setWindowPosition(QPoint position) {
    QSettings(path_, QSettings::IniFormat).setValue(positionKey, position);
}

bool Preferences::keyAsked() const { return QSettings(path_, QSettings::IniFormat).value(keyAskedKey).toBool(); }

void Preferences::setKeyAsked() { QSettings(path_, QSettings::IniFormat).setValue(keyAskedKey, true); }

std::optional<OwnPlace> Preferences::ownPlace() const {
    const QSettings settings(path_, QSettings::IniFormat);
    // A position edited by hand into something else is no place.
    const auto position = TerritoryLookup::normalizedPosition(settings.value(placeKey).toString());
    if (!position) return std::nullopt;
    return OwnPlace{*position, TerritoryLookup::cutToShow(settings.value(placeNameKey).toString())};
}

void Preferences::setOwnPlace(const std::optional<OwnPlace>& place) {
    QSettings settings(path_, QSettings::IniFormat);
    if (!place) {
        settings.remove(QStringLiteral("ownPlace"));
        return;
    }
    settings.setValue(placeKey, place->position);
    settings.setValue(placeNameKey, place->name);
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
