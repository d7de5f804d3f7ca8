// Any bytes as the answers of the two web services.
#include "Records.h"

#include <QByteArray>
#include <QJsonDocument>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    auto geo = Tidemark::decodeGeo(json);
    if (auto* decoded = std::get_if<Tidemark::Geo>(&geo)) {
        // What decodes encodes back to the same record.
        auto again = Tidemark::decodeGeo(QJsonDocument(Tidemark::encode(*decoded)).toJson());
        if (std::get<Tidemark::Geo>(again) != *decoded) __builtin_trap();
    }
    auto territories = Tidemark::decodeTerritories(json);
    if (auto* list = std::get_if<std::vector<Tidemark::Territory>>(&territories)) {
        for (const auto& territory : *list) {
            if (Tidemark::encode(territory).isEmpty()) __builtin_trap();
        }
    }
    return 0;
}
