#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace Tidemark {

// The application's own key-value file ("Info.json" beside the program, or in its data folder):
// its version ("CFBundleShortVersionString") and web links ("TMLandAckLink", "TMDevContactLink",
// and the optional update feed "SUFeedURL").
class InfoDictionary {
public:
    InfoDictionary() = default;
    explicit InfoDictionary(QJsonObject values) : values_(std::move(values)) {}

    // An unreadable, oversized or malformed file gives an empty dictionary.
    static InfoDictionary load(const QString& path);
    // The same from the file's bytes.
    static InfoDictionary parse(const QByteArray& json);
    // The file shipped with the running program.
    static InfoDictionary forApplication();

    // The value under `key` when it is a text.
    std::optional<QString> string(const QString& key) const;

private:
    QJsonObject values_;
};

}  // namespace Tidemark
