#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace Tidemark {

// The user's own keys for the two web services (empty: none).
struct ServiceKeys {
    QString territoryKey;
    QString ipInfoToken;

    friend bool operator==(const ServiceKeys&, const ServiceKeys&) = default;
};

// Keeps the keys in the desktop's secret store (QtKeychain); where none runs, in a file of the user's
// config folder that only the user may read. Asynchronous: the secret store may ask the user first.
class KeyStore : public QObject {
    Q_OBJECT

public:
    enum class Place { secretStore, file };

    explicit KeyStore(QString fallbackPath = defaultFallbackPath(), QObject* parent = nullptr);

    // `done` runs on this thread with the keys found (none found: empty) and where they are kept.
    void load(std::function<void(ServiceKeys keys, Place place)> done);
    // `done` runs on this thread with where they went, and what failed (empty when nothing did).
    void save(const ServiceKeys& keys, std::function<void(Place place, QString error)> done);

    // keys.json in the application's config folder.
    static QString defaultFallbackPath();
    const QString& fallbackPath() const { return fallbackPath_; }

    // A key as a file holds it: its first line, trimmed; none when unreadable or longer than 512 characters,
    // and when anyone but its owner, who must be this user, may read it (`problem` says which).
    enum class KeyFileProblem { none, unreadable, notPrivate };
    static std::optional<QString> readKeyFile(const QString& path, KeyFileProblem* problem = nullptr);

signals:
    // Something about the key file the log should hear (in English).
    void problem(const QString& line) const;

private:
    std::optional<ServiceKeys> readFile() const;
    QString writeFile(const ServiceKeys& keys) const;

    QString fallbackPath_;
};

// Makes `folder` (and its parents) and makes it readable by its owner alone, whatever the umask.
void privateFolder(const QString& folder);


}  // namespace Tidemark
