#include "LookupStore.h"
#include "ServiceKeys.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QVariant>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace Tidemark {

namespace {

// SQLite's primary result codes that matter here.
constexpr int sqliteBusy = 5, sqliteLocked = 6, sqliteReadOnly = 8, sqliteIoError = 10, sqliteCorrupt = 11,
              sqliteFull = 13, sqliteCantOpen = 14, sqliteNotADatabase = 26;

QString kindName(LookupStore::Kind kind) {
    return kind == LookupStore::Kind::location ? QStringLiteral("location") : QStringLiteral("territory");
}

std::chrono::milliseconds ageLimit(LookupStore::Kind kind) {
    return kind == LookupStore::Kind::location ? LookupStore::locationAge : LookupStore::territoryAge;
}

// The current schema, made at once in a new file.
const char* const schema[] = {
    "CREATE TABLE IF NOT EXISTS answers (kind TEXT NOT NULL, key TEXT NOT NULL, status INTEGER NOT NULL, "
    "body BLOB NOT NULL, fetched INTEGER NOT NULL, PRIMARY KEY (kind, key))",
    "CREATE INDEX IF NOT EXISTS answers_by_age ON answers (fetched)",
    "CREATE TABLE IF NOT EXISTS acknowledgements (id INTEGER PRIMARY KEY, shown INTEGER NOT NULL, "
    "address TEXT NOT NULL, place TEXT NOT NULL, text TEXT NOT NULL, service TEXT NOT NULL DEFAULT '', "
    "peoples TEXT NOT NULL DEFAULT '', own TEXT NOT NULL DEFAULT '', last INTEGER NOT NULL DEFAULT 0)",
};

// From one version to the next: migrations[v] brings a file of version v to v + 1. Version 0 is a file
// of a program that kept no version (its acknowledgements had no service, peoples or own land).
const std::vector<std::vector<const char*>> migrations = {
    {"ALTER TABLE acknowledgements ADD COLUMN service TEXT NOT NULL DEFAULT ''",
     "ALTER TABLE acknowledgements ADD COLUMN peoples TEXT NOT NULL DEFAULT ''",
     "ALTER TABLE acknowledgements ADD COLUMN own TEXT NOT NULL DEFAULT ''",
     "ALTER TABLE acknowledgements ADD COLUMN last INTEGER NOT NULL DEFAULT 0", "UPDATE acknowledgements SET last = shown"},
};

// Every text column is NOT NULL: an empty text goes in as an empty text, never as NULL.
QVariant textValue(const QString& text) { return QVariant(text.isNull() ? QString::fromLatin1("") : text); }

int primaryCode(const QSqlError& error) { return error.nativeErrorCode().toInt() & 0xff; }

// The reason, in the user's words.
QString reasonFor(int code) {
    switch (code) {
        case sqliteFull: return QCoreApplication::translate("Tidemark", "the disk is full");
        case sqliteReadOnly:
        case sqliteCantOpen: return QCoreApplication::translate("Tidemark", "its folder cannot be written");
        case sqliteBusy:
        case sqliteLocked: return QCoreApplication::translate("Tidemark", "another program holds the file");
        default: return QCoreApplication::translate("Tidemark", "the file cannot be used");
    }
}

// What the user is told while the saved answers can be read but not written, or not used at all.
QString readOnlyProblem(const QString& reason) {
    return QCoreApplication::translate("Tidemark", "Tidemark cannot save answers now (%1): it shows what was saved before "
                                                   "and saves nothing new.")
        .arg(reason);
}
QString unavailableProblem(const QString& reason) {
    return QCoreApplication::translate("Tidemark", "Tidemark cannot open its saved answers (%1): it works without them "
                                                   "and saves nothing.")
        .arg(reason);
}

// The file made empty and the user's alone before SQLite opens it (SQLite gives its journal files the
// main file's mode); an existing one is made the user's alone too.
void privateFile(const QString& path) {
    const int fd = open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return;
    fchmod(fd, 0600);
    close(fd);
}

// Held while the file is opened, checked and perhaps set aside: a second instance waits its turn.
class OpenLock {
public:
    explicit OpenLock(const QString& path)
        : fd_(open(QFile::encodeName(path + QStringLiteral(".lock")).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                   0600)) {
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~OpenLock() {
        if (fd_ >= 0) close(fd_);
    }
    OpenLock(const OpenLock&) = delete;
    OpenLock& operator=(const OpenLock&) = delete;

private:
    int fd_;
};

}  // namespace

LookupStore::LookupStore(QString path, std::function<void(const QString&)> log, std::function<QDateTime()> now)
    : path_(std::move(path)), log_(std::move(log)), now_(now ? std::move(now) : [] { return QDateTime::currentDateTimeUtc(); }) {
    static std::atomic<int> next{0};
    connection_ = QStringLiteral("tidemark-lookups-%1").arg(next++);
    if (path_.isEmpty()) return;
    privateFolder(QFileInfo(path_).absolutePath());
    OpenLock lock(path_);
    switch (openFile(false)) {
        case Opened::ok: return;
        case Opened::damaged:
            setAside(QStringLiteral("SQLite finds the file damaged (%1)").arg(lastError_), QStringLiteral(".damaged-"));
            return;
        case Opened::newer:
            setAside(QStringLiteral("it was written by a newer Tidemark"), QStringLiteral(".newer-"));
            return;
        case Opened::unavailable: break;
    }
    // Anything else keeps the file: what it holds is still shown when it can be read.
    const QString reason = reasonFor(lastCode_);
    if (log_) log_(QStringLiteral("The saved answers cannot be written (%1): %2").arg(path_, lastError_));
    if (openFile(true) == Opened::ok) {
        health_ = Health::readOnly;
        problem_ = readOnlyProblem(reason);
    } else {
        health_ = Health::unavailable;
        problem_ = unavailableProblem(reason);
    }
}

LookupStore::~LookupStore() { closeConnection(); }

void LookupStore::closeConnection() {
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
    open_ = writable_ = false;
}

QString LookupStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/lookups.sqlite");
}

void LookupStore::setAside(const QString& why, const QString& suffix) {
    closeConnection();
    const QString aside = path_ + suffix + now_().toString(QStringLiteral("yyyyMMddHHmmss"));
    bool moved = true;
    for (const QString& end : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFile::exists(path_ + end)) moved = QFile::rename(path_ + end, aside + end) && moved;
    }
    if (!moved || openFile(false) != Opened::ok) {
        if (log_) log_(QStringLiteral("The saved answers cannot be used (%1) and could not be moved aside: nothing is saved").arg(why));
        closeConnection();
        health_ = Health::unavailable;
        problem_ = unavailableProblem(reasonFor(lastCode_));
        return;
    }
    if (log_) log_(QStringLiteral("The saved answers could not be used (%1); the file was moved aside to %2 and a new one started").arg(why, aside));
    health_ = Health::setAside;
    problem_ = QCoreApplication::translate("Tidemark", "The saved answers could not be used, so Tidemark started anew; the old file is kept as %1.")
                   .arg(aside);
}

LookupStore::Opened LookupStore::openFile(bool readOnly) {
    closeConnection();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (readOnly) {
        // Read as it stands, without the journal files a read-only folder cannot hold.
        db.setDatabaseName(QStringLiteral("file:") + QString::fromUtf8(QUrl::toPercentEncoding(path_, "/")) +
                           QStringLiteral("?immutable=1"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
    } else {
        if (!QFileInfo::exists(path_)) privateFile(path_);
        chmod(QFile::encodeName(path_).constData(), 0600);
        db.setDatabaseName(path_);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    auto failed = [&](const QSqlError& error) {
        lastError_ = error.text();
        lastCode_ = primaryCode(error);
        db.close();
        return lastCode_ == sqliteCorrupt || lastCode_ == sqliteNotADatabase ? Opened::damaged : Opened::unavailable;
    };
    if (!db.open()) return failed(db.lastError());
    QSqlQuery query(db);
    if (!readOnly) {
        // WAL: a writer that dies mid-write leaves the last committed state; NORMAL sync is safe with WAL.
        if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next()) return failed(query.lastError());
        if (query.value(0).toString() != QLatin1String("wal")) {
            lastError_ = QStringLiteral("WAL mode refused");
            lastCode_ = sqliteIoError;
            db.close();
            return Opened::unavailable;
        }
        if (!query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))) return failed(query.lastError());
    }
    if (!query.exec(QStringLiteral("PRAGMA quick_check")) || !query.next()) return failed(query.lastError());
    if (query.value(0).toString() != QLatin1String("ok")) {
        lastError_ = query.value(0).toString();
        lastCode_ = sqliteCorrupt;
        db.close();
        return Opened::damaged;
    }
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) return failed(query.lastError());
    const int version = query.value(0).toInt();
    if (version > schemaVersion) {
        db.close();
        return Opened::newer;
    }
    open_ = true;
    writable_ = !readOnly;
    if (readOnly) return Opened::ok;
    if (!migrate(version)) {
        const QSqlError error = db.lastError();
        open_ = writable_ = false;
        return failed(error.isValid() ? error : QSqlError(QStringLiteral("migration"), {}, QSqlError::UnknownError, QStringLiteral("10")));
    }
    return Opened::ok;
}

bool LookupStore::migrate(int from) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery tables(db);
    // A file with no tables is new: the current schema at once. Else each step from its version on.
    if (!tables.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'acknowledgements'")) || !tables.next()) return false;
    const bool fresh = tables.value(0).toInt() == 0;
    if (!fresh && from == schemaVersion) return true;
    if (!db.transaction()) return false;
    bool ok = true;
    if (fresh) {
        for (const char* statement : schema) ok = ok && exec(QString::fromLatin1(statement));
    } else {
        for (int version = from; version < schemaVersion && ok; ++version) {
            for (const char* statement : migrations[static_cast<std::size_t>(version)]) ok = ok && exec(QString::fromLatin1(statement));
        }
        if (ok && log_) log_(QStringLiteral("Saved answers brought from version %1 to %2").arg(from).arg(schemaVersion));
    }
    ok = ok && exec(QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion));
    if (!ok || !db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

bool LookupStore::exec(const QString& statement) {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    return query.exec(statement);
}

void LookupStore::fail(const QString& what, const QSqlError& error) {
    lastCode_ = primaryCode(error);
    if (log_) log_(QStringLiteral("Saved answers: %1 failed: %2").arg(what, error.text()));
    if (health_ == Health::readOnly || health_ == Health::unavailable) return;
    // What was saved stays readable; nothing more is written until the next start.
    writable_ = false;
    health_ = Health::readOnly;
    problem_ = readOnlyProblem(reasonFor(lastCode_));
    if (changed_) changed_();
}

std::optional<LookupStore::Answer> LookupStore::find(Kind kind, const QString& key) {
    if (!open_) return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT status, body, fetched FROM answers WHERE kind = ? AND key = ?"));
    query.addBindValue(kindName(kind));
    query.addBindValue(key);
    if (!query.exec()) {
        if (log_) log_(QStringLiteral("Saved answers: reading failed: ") + query.lastError().text());
        return std::nullopt;
    }
    if (!query.next()) return std::nullopt;
    return answerAt(query, kind);
}

LookupStore::Answer LookupStore::answerAt(const QSqlQuery& query, Kind kind) const {
    Answer answer;
    answer.status = query.value(0).toInt();
    answer.body = query.value(1).toByteArray().left(maximumBody);
    answer.fetched = QDateTime::fromMSecsSinceEpoch(query.value(2).toLongLong(), Qt::UTC);
    answer.fresh = answer.fetched.msecsTo(now_()) < ageLimit(kind).count();
    return answer;
}

std::vector<LookupStore::Answer> LookupStore::newest(Kind kind, int count) {
    std::vector<Answer> answers;
    if (!open_) return answers;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT status, body, fetched FROM answers WHERE kind = ? ORDER BY fetched DESC LIMIT ?"));
    query.addBindValue(kindName(kind));
    query.addBindValue(std::clamp(count, 0, maximumAnswers));
    if (!query.exec()) {
        if (log_) log_(QStringLiteral("Saved answers: reading failed: ") + query.lastError().text());
        return answers;
    }
    while (query.next()) answers.push_back(answerAt(query, kind));
    return answers;
}

void LookupStore::put(Kind kind, const QString& key, int status, const QByteArray& body) {
    if (!writable_ || body.size() > maximumBody) return;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    db.transaction();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO answers (kind, key, status, body, fetched) VALUES (?, ?, ?, ?, ?)"));
    query.addBindValue(kindName(kind));
    query.addBindValue(key);
    query.addBindValue(status);
    query.addBindValue(body);
    query.addBindValue(now_().toMSecsSinceEpoch());
    // The oldest go first once there are too many.
    insertKeeping(db, query,
                  QStringLiteral("DELETE FROM answers WHERE rowid IN (SELECT rowid FROM answers ORDER BY fetched "
                                 "LIMIT max(0, (SELECT count(*) FROM answers) - ?))"),
                  maximumAnswers, QStringLiteral("saving an answer"));
}

bool LookupStore::insertKeeping(QSqlDatabase& db, QSqlQuery& insert, const QString& trim, int keep, const QString& what) {
    QSqlQuery trimming(db);
    trimming.prepare(trim);
    trimming.addBindValue(keep);
    if (!insert.exec() || !trimming.exec() || !db.commit()) {
        const QSqlError error = insert.lastError().isValid() ? insert.lastError() : db.lastError();
        db.rollback();
        fail(what, error);
        return false;
    }
    return true;
}

bool LookupStore::clearAnswers() {
    if (!writable_) return false;
    const bool cleared = exec(QStringLiteral("DELETE FROM answers"));
    if (!cleared) fail(QStringLiteral("clearing"), QSqlDatabase::database(connection_, false).lastError());
    return cleared;
}

std::size_t LookupStore::answerCount() {
    if (!open_) return 0;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    if (!query.exec(QStringLiteral("SELECT count(*) FROM answers")) || !query.next()) return 0;
    return query.value(0).toULongLong();
}

void LookupStore::record(const Acknowledgement& a) {
    if (!writable_) return;
    const qint64 shown = a.shown.toMSecsSinceEpoch();
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    db.transaction();
    // The same server and service again soon after (the stream came back): the same meeting's row.
    QSqlQuery same(db);
    same.prepare(QStringLiteral("UPDATE acknowledgements SET place = ?, text = ?, peoples = ?, own = ?, last = ? WHERE id = "
                                "(SELECT max(id) FROM acknowledgements) AND address = ? AND service = ? AND last >= ?"));
    for (const QVariant& value : {textValue(a.place), textValue(a.text), textValue(a.peoples.join(QLatin1Char('\n'))),
                                  textValue(a.ownPeoples.join(QLatin1Char('\n'))), QVariant(shown), textValue(a.address),
                                  textValue(a.service),
                                  QVariant(shown - std::chrono::milliseconds(sameMeeting).count())}) {
        same.addBindValue(value);
    }
    if (same.exec() && same.numRowsAffected() == 1) {
        if (!db.commit()) fail(QStringLiteral("recording the acknowledgement"), db.lastError());
        return;
    }
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO acknowledgements (shown, address, place, text, service, peoples, own, last) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant& value : {QVariant(shown), textValue(a.address), textValue(a.place), textValue(a.text),
                                  textValue(a.service), textValue(a.peoples.join(QLatin1Char('\n'))),
                                  textValue(a.ownPeoples.join(QLatin1Char('\n'))), QVariant(shown)}) {
        query.addBindValue(value);
    }
    insertKeeping(db, query,
                  QStringLiteral("DELETE FROM acknowledgements WHERE id IN (SELECT id FROM acknowledgements ORDER BY id "
                                 "LIMIT max(0, (SELECT count(*) FROM acknowledgements) - ?))"),
                  maximumAcknowledgements, QStringLiteral("recording the acknowledgement"));
}

std::vector<LookupStore::Acknowledgement> LookupStore::recent(int count) {
    std::vector<Acknowledgement> list;
    if (!open_) return list;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT shown, address, place, text, service, peoples, own, id FROM acknowledgements "
                                 "ORDER BY id DESC LIMIT ?"));
    query.addBindValue(count);
    if (!query.exec()) {
        if (log_) log_(QStringLiteral("Saved answers: reading the acknowledgements failed: ") + query.lastError().text());
        return list;
    }
    const auto lines = [](const QVariant& value) { return value.toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts); };
    while (query.next()) {
        list.push_back({QDateTime::fromMSecsSinceEpoch(query.value(0).toLongLong(), Qt::UTC), query.value(1).toString(),
                        query.value(2).toString(), query.value(3).toString(), query.value(4).toString(),
                        lines(query.value(5)), lines(query.value(6)), query.value(7).toLongLong()});
    }
    return list;
}

bool LookupStore::remove(qint64 id) {
    if (!writable_) return false;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("DELETE FROM acknowledgements WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec()) {
        fail(QStringLiteral("deleting an acknowledgement"), query.lastError());
        return false;
    }
    return query.numRowsAffected() == 1;
}

}  // namespace Tidemark
