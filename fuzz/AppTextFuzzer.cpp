// The application's own inputs, as any bytes: the packet the capture helper cuts, the layer-3 text the server
// address is cut from, the addresses and positions it checks, and its info file. The first byte picks
// which.
#include "HeaderCut.h"
#include "InfoDictionary.h"
#include "Lookups.h"
#include "StreamMonitor.h"
#include "WebClient.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return -1;
    const std::uint8_t which = data[0] % 4;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    switch (which) {
        case 0: {
            // The capture helper's cut: never past the packet, for any link type.
            const std::span<const std::uint8_t> packet(data + 1, size - 1);
            for (int link : {0, 1, 12, 108, 113, 228, 276}) {
                if (Tidemark::udpHeaderEnd(link, packet) > packet.size()) __builtin_trap();
            }
            break;
        }
        case 1: {
            auto address = Tidemark::StreamMonitor::serverAddress(text);
            if (address && (address->size() >= text.size() || !text.contains(*address))) __builtin_trap();
            break;
        }
        case 2: {
            if (auto url = Tidemark::WebClient::validUrl(text)) {
                const QString scheme = url->scheme();
                if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) __builtin_trap();
                (void)Tidemark::WebClient::redirectAllowed(*url, QUrl(text.left(64)));
            }
            if (auto position = Tidemark::TerritoryLookup::normalizedPosition(text)) {
                // Two numbers and a comma: nothing that could change the query.
                for (QChar c : *position) {
                    if (!c.isDigit() && c != QLatin1Char('.') && c != QLatin1Char('-') && c != QLatin1Char(','))
                        __builtin_trap();
                }
            }
            break;
        }
        default: {
            auto info = Tidemark::InfoDictionary::parse(QByteArray::fromStdString(bytes));
            (void)info.string(QStringLiteral("TMLandAckLink"));
            (void)info.string(QStringLiteral("CFBundleShortVersionString"));
            break;
        }
    }
    return 0;
}
