#include "ServiceKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

std::optional<QString> KeyStore::readKeyFile(const QString& path, KeyFileProblem* problem) {
    // As ssh treats a private key: a file others may read holds no secret any more, and is refused.
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (problem) *problem = KeyFileProblem::unreadable;
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) close(fd);
        return std::nullopt;
    }
    if ((info.st_mode & 077) != 0 || info.st_uid != geteuid()) {
        close(fd);
        if (problem) *problem = KeyFileProblem::notPrivate;
        return std::nullopt;
    }
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
    if (line.size() > 512) return std::nullopt;
    if (problem) *problem = KeyFileProblem::none;
    return line;
}

std::optional<ServiceKeys> KeyStore::readFile() const {
    // Never through a link: the file is the user's own, in the user's own folder.
    const int fd = open(QFile::encodeName(fallbackPath_).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ELOOP) emit problem(QStringLiteral("%1 is a symbolic link: not read").arg(fallbackPath_));
        return std::nullopt;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        close(fd);
        emit problem(QStringLiteral("%1 is not the user's own file: not read").arg(fallbackPath_));
        return std::nullopt;
    }
    if ((info.st_mode & 077) != 0) {
        fchmod(fd, 0600);
        emit problem(QStringLiteral("%1 could be read by other users; it is now readable by its owner alone").arg(fallbackPath_));
    }
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QJsonObject object = QJsonDocument::fromJson(file.read(64 << 10)).object();
    return ServiceKeys{object.value(QStringLiteral("territoryKey")).toString().left(512),
                       object.value(QStringLiteral("ipInfoToken")).toString().left(512)};
}

QString KeyStore::writeFile(const ServiceKeys& keys) const {
    const QByteArray path = QFile::encodeName(fallbackPath_);
    if (keys == ServiceKeys{}) {
        unlink(path.constData());  // a link goes, never what it points to
        return {};
    }
    privateFolder(QFileInfo(fallbackPath_).absolutePath());
    // A new file, the user's alone from its first byte, put in place by a rename: a link at the path is
    // replaced, never followed.
    QByteArray temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
    fchmod(fd, 0600);
    const QByteArray json = QJsonDocument(QJsonObject{{QStringLiteral("territoryKey"), keys.territoryKey},
                                                      {QStringLiteral("ipInfoToken"), keys.ipInfoToken}})
                                .toJson();
    const bool written = write(fd, json.constData(), static_cast<std::size_t>(json.size())) == json.size() && fsync(fd) == 0;
    const int error = errno;
    close(fd);
    if (!written || rename(temporary.constData(), path.constData()) != 0) {
        const int failure = written ? errno : error;
        unlink(temporary.constData());
        return QString::fromLocal8Bit(std::strerror(failure));
    }
    return {};
}

void privateFolder(const QString& folder) {
    QDir().mkpath(folder);
    chmod(QFile::encodeName(folder).constData(), 0700);
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
        unlink(QFile::encodeName(fallbackPath_).constData());  // the secret store has them now
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


}  // namespace Tidemark
