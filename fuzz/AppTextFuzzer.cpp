// The application's own inputs, as any bytes: the packet the capture helper observes and the record it
// writes, an address text, the links and positions it checks, and its info file. The first byte picks
// which.
#include "InfoDictionary.h"
#include "Lookups.h"
#include "MediaPath.h"
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
            // The capture helper's observation of any packet on any link type, and its record read back.
            const std::span<const std::uint8_t> packet(data + 1, size - 1);
            const Tidemark::LocalAddresses local;
            ZuzizavAdiduDazorud::Frame frame;
            for (int link : {0, 1, 12, 113, 276}) {
                frame.decode(static_cast<ZuzizavAdiduDazorud::LinkType>(link), packet, {}, std::int64_t(packet.size()), 0);
                if (auto observation = Tidemark::observe(frame, local)) {
                    const auto record = Tidemark::encode(*observation);
                    if (Tidemark::decodeObservation(record) != observation) __builtin_trap();
                }
            }
            if (packet.size() >= Tidemark::observationRecordSize) {
                (void)Tidemark::decodeObservation(packet.first<Tidemark::observationRecordSize>());
            }
            break;
        }
        case 1: {
            // An address text: public or not, and its text again.
            if (auto address = Tidemark::NetAddress::fromText(bytes)) {
                (void)address->isPublic();
                if (Tidemark::NetAddress::fromText(address->text()) != address) __builtin_trap();
            }
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
