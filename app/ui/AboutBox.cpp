#include "AboutBox.h"

#include "BuildConfig.h"
#include "Preferences.h"

#include <QCoreApplication>
#include <QUrl>

namespace Tidemark {

namespace {
QString hostOf(const char* address) { return QUrl(QString::fromUtf8(address)).host(); }
}  // namespace

QString aboutText(const AppCore& core) {
    return QCoreApplication::translate("Tidemark",
               "<p><b>Tidemark %1</b></p>"
               "<p>Shows on whose traditional territory the media server of your video meeting stands.</p>"
               "<p>Licence: MIT.</p>"
               "<p>Web services used:<br>"
               "&bull; %2 (where a server stands) receives the media server's address.<br>"
               "&bull; %3 (whose land a place is on) receives the server's position.<br>"
               "&bull; %6<br>"
               "Another participant's address (in a peer-to-peer call) and addresses on private networks are never "
               "sent anywhere.</p>"
               "<p>What is captured: UDP datagrams from the meeting services' media ports (%4), and others that "
               "look like a meeting's media or connectivity checks. The capture helper reads their headers and "
               "first bytes and passes on only the other side's address and port, what kind of datagram it is "
               "and how many came; nothing of their content leaves it, and nothing is kept.</p>"
               "<p>Services are recognised by the address ranges they publish for their media servers (lists of "
               "%5) and by their ports.</p>")
        .arg(core.state().appVersion().value_or(QString::fromUtf8(BuildConfig::version)).toHtmlEscaped(),
             hostOf(BuildConfig::ipInfoBaseAddress).toHtmlEscaped(),
             hostOf(BuildConfig::territoryBaseAddress).toHtmlEscaped(), servicesText().toHtmlEscaped(),
             QString::fromUtf8(publishedRanges::date.data(), qsizetype(publishedRanges::date.size())),
             ownPlaceText(core).toHtmlEscaped());
}

QString ownPlaceText(const AppCore& core) {
    const auto& place = core.ownPlace();
    if (!place) {
        return QCoreApplication::translate("Tidemark", "Your own place: none is set, so nothing about where you are is sent.");
    }
    const QString where = place->name.isEmpty() ? place->position : QStringLiteral("%1 (%2)").arg(place->name, place->position);
    return QCoreApplication::translate("Tidemark", "Your own place, %1: %2 receives its position while a meeting goes on.")
        .arg(where, hostOf(BuildConfig::territoryBaseAddress));
}

QString servicesText() {
    QStringList services;
    for (const MeetingService& service : meetingServices) {
        services << QStringLiteral("%1: %2").arg(QString::fromUtf8(service.name), Preferences::ports(service));
    }
    return services.join(QStringLiteral("; "));
}

}  // namespace Tidemark
