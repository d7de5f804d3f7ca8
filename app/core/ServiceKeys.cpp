#include "ServiceKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <qt6keychain/keychain.h>

#include <memory>

namespace Tidemark {

namespace {

const QString service = QStringLiteral("org.tidemark.Tidemark");
const QString territoryEntry = QStringLiteral("territory-key");
const QString ipInfoEntry = QStringLiteral("ipinfo-token");

// Whether the secret store itself is missing (as opposed to an entry that is not there).
bool noStore(QKeychain::Error error) {
    return error != QKeychain::NoError && error != QKeychain::EntryNotFound;
}

}  // namespace

KeyStore::KeyStore(QString fallbackPath, QObject* parent) : QObject(parent), fallbackPath_(std::move(fallbackPath)) {}

QString KeyStore::defaultFallbackPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/keys.json");
}

std::optional<QString> KeyStore::readKeyFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
    if (line.size() > 512) return std::nullopt;
    return line;
}

std::optional<ServiceKeys> KeyStore::readFile() const {
    QFile file(fallbackPath_);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(file.read(64 << 10)).object();
    return ServiceKeys{object.value(QStringLiteral("territoryKey")).toString().left(512),
                       object.value(QStringLiteral("ipInfoToken")).toString().left(512)};
}

QString KeyStore::writeFile(const ServiceKeys& keys) const {
    if (keys == ServiceKeys{}) {
        QFile::remove(fallbackPath_);
        return {};
    }
    QDir().mkpath(QFileInfo(fallbackPath_).absolutePath());
    QSaveFile file(fallbackPath_);
    // Only the user may read it, from the first byte on.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return file.errorString();
    }
    file.write(QJsonDocument(QJsonObject{{QStringLiteral("territoryKey"), keys.territoryKey},
                                         {QStringLiteral("ipInfoToken"), keys.ipInfoToken}})
                   .toJson());
    if (!file.commit()) return file.errorString();
    return {};
}

void KeyStore::load(std::function<void(ServiceKeys, Place)> done) {
    // Both entries, one after the other; a missing store sends everyone to the file.
    struct Loading {
        ServiceKeys keys;
        bool storeMissing = false;
    };
    auto loading = std::make_shared<Loading>();
    auto finish = [this, loading, done] {
        if (loading->storeMissing) {
            done(readFile().value_or(ServiceKeys{}), Place::file);
            return;
        }
        // Keys kept in the file before a secret store ran still count.
        if (loading->keys == ServiceKeys{}) {
            if (auto fromFile = readFile()) {
                done(*fromFile, Place::file);
                return;
            }
        }
        done(loading->keys, Place::secretStore);
    };
    auto read = [this, loading](const QString& entry, QString ServiceKeys::*field, std::function<void()> next) {
        auto* job = new QKeychain::ReadPasswordJob(service, this);
        job->setKey(entry);
        connect(job, &QKeychain::Job::finished, this, [loading, field, next, job] {
            if (job->error() == QKeychain::NoError) loading->keys.*field = job->textData().left(512);
            if (noStore(job->error())) loading->storeMissing = true;
            next();
        });
        job->start();
    };
    read(territoryEntry, &ServiceKeys::territoryKey, [read, loading, finish] {
        if (loading->storeMissing) {
            finish();
            return;
        }
        read(ipInfoEntry, &ServiceKeys::ipInfoToken, finish);
    });
}

void KeyStore::save(const ServiceKeys& keys, std::function<void(Place, QString)> done) {
    auto storeMissing = std::make_shared<bool>(false);
    auto finish = [this, keys, done, storeMissing] {
        if (*storeMissing) {
            done(Place::file, writeFile(keys));
            return;
        }
        QFile::remove(fallbackPath_);  // the secret store has them now
        done(Place::secretStore, {});
    };
    auto write = [this, storeMissing](const QString& entry, const QString& value, std::function<void()> next) {
        QKeychain::Job* job = nullptr;
        if (value.isEmpty()) {
            auto* remove = new QKeychain::DeletePasswordJob(service, this);
            job = remove;
        } else {
            auto* store = new QKeychain::WritePasswordJob(service, this);
            store->setTextData(value);
            job = store;
        }
        job->setKey(entry);
        connect(job, &QKeychain::Job::finished, this, [storeMissing, next, job] {
            if (noStore(job->error()) && job->error() != QKeychain::CouldNotDeleteEntry) *storeMissing = true;
            next();
        });
        job->start();
    };
    write(territoryEntry, keys.territoryKey, [write, keys, storeMissing, finish] {
        if (*storeMissing) {
            finish();
            return;
        }
        write(ipInfoEntry, keys.ipInfoToken, finish);
    });
}

QString redactKeys(QString text, const ServiceKeys& keys) {
    for (const QString& key : {keys.territoryKey, keys.ipInfoToken}) {
        if (key.size() >= 4) text.replace(key, QStringLiteral("\u2026"));
    }
    static const QRegularExpression parameter(QStringLiteral(R"(\b(key|token)=[^&\s"'<>]+)"));
    return text.replace(parameter, QStringLiteral("\\1=\u2026"));
}

}  // namespace Tidemark
