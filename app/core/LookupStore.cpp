#include "LookupStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <atomic>

namespace Tidemark {

namespace {

QString kindName(LookupStore::Kind kind) {
    return kind == LookupStore::Kind::location ? QStringLiteral("location") : QStringLiteral("territory");
}

std::chrono::milliseconds ageLimit(LookupStore::Kind kind) {
    return kind == LookupStore::Kind::location ? LookupStore::locationAge : LookupStore::territoryAge;
}

const char* const schema[] = {
    "CREATE TABLE IF NOT EXISTS answers (kind TEXT NOT NULL, key TEXT NOT NULL, status INTEGER NOT NULL, "
    "body BLOB NOT NULL, fetched INTEGER NOT NULL, PRIMARY KEY (kind, key))",
    "CREATE INDEX IF NOT EXISTS answers_by_age ON answers (fetched)",
    "CREATE TABLE IF NOT EXISTS acknowledgements (id INTEGER PRIMARY KEY, shown INTEGER NOT NULL, "
    "address TEXT NOT NULL, place TEXT NOT NULL, text TEXT NOT NULL)",
};

}  // namespace

LookupStore::LookupStore(QString path, std::function<void(const QString&)> log, std::function<QDateTime()> now)
    : path_(std::move(path)), log_(std::move(log)), now_(now ? std::move(now) : [] { return QDateTime::currentDateTimeUtc(); }) {
    static std::atomic<int> next{0};
    connection_ = QStringLiteral("tidemark-lookups-%1").arg(next++);
    if (path_.isEmpty()) return;
    if (openFile()) return;
    // Not a database, or one SQLite cannot read: keep it for whoever wants to look, and start anew.
    const QString aside = path_ + QStringLiteral(".damaged-") + now_().toString(QStringLiteral("yyyyMMddHHmmss"));
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFile::exists(path_ + suffix)) QFile::rename(path_ + suffix, aside + suffix);
    }
    if (log_) log_(QStringLiteral("The saved answers could not be read; the file was moved aside to %1 and a new one started").arg(aside));
    if (!openFile() && log_) log_(QStringLiteral("Answers cannot be saved: %1 cannot be opened").arg(path_));
}

LookupStore::~LookupStore() {
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
}

QString LookupStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/lookups.sqlite");
}

bool LookupStore::openFile() {
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path_);
    open_ = db.open();
    if (!open_) return false;
    QSqlQuery check(db);
    // WAL: a writer that dies mid-write leaves the last committed state; NORMAL sync is safe with WAL.
    open_ = check.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && check.next() &&
            check.value(0).toString() == QLatin1String("wal") && exec(QStringLiteral("PRAGMA synchronous=NORMAL")) &&
            check.exec(QStringLiteral("PRAGMA quick_check")) && check.next() &&
            check.value(0).toString() == QLatin1String("ok");
    for (const char* statement : schema) open_ = open_ && exec(QString::fromLatin1(statement));
    if (!open_) db.close();
    return open_;
}

bool LookupStore::exec(const QString& statement) {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    return query.exec(statement);
}

void LookupStore::fail(const QString& what) {
    if (log_) log_(QStringLiteral("Saved answers: %1 failed").arg(what));
}

std::optional<LookupStore::Answer> LookupStore::find(Kind kind, const QString& key) {
    if (!open_) return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT status, body, fetched FROM answers WHERE kind = ? AND key = ?"));
    query.addBindValue(kindName(kind));
    query.addBindValue(key);
    if (!query.exec()) {
        fail(QStringLiteral("reading"));
        return std::nullopt;
    }
    if (!query.next()) return std::nullopt;
    Answer answer;
    answer.status = query.value(0).toInt();
    answer.body = query.value(1).toByteArray().left(maximumBody);
    answer.fetched = QDateTime::fromMSecsSinceEpoch(query.value(2).toLongLong(), Qt::UTC);
    answer.fresh = answer.fetched.msecsTo(now_()) < ageLimit(kind).count();
    return answer;
}

void LookupStore::put(Kind kind, const QString& key, int status, const QByteArray& body) {
    if (!open_ || body.size() > maximumBody) return;
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

void LookupStore::insertKeeping(QSqlDatabase& db, QSqlQuery& insert, const QString& trim, int keep, const QString& what) {
    QSqlQuery trimming(db);
    trimming.prepare(trim);
    trimming.addBindValue(keep);
    if (!insert.exec() || !trimming.exec() || !db.commit()) {
        db.rollback();
        fail(what);
    }
}

bool LookupStore::clearAnswers() {
    if (!open_) return false;
    const bool cleared = exec(QStringLiteral("DELETE FROM answers"));
    if (!cleared) fail(QStringLiteral("clearing"));
    return cleared;
}

std::size_t LookupStore::answerCount() {
    if (!open_) return 0;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    if (!query.exec(QStringLiteral("SELECT count(*) FROM answers")) || !query.next()) return 0;
    return query.value(0).toULongLong();
}

void LookupStore::record(const Acknowledgement& acknowledgement) {
    if (!open_) return;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    db.transaction();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO acknowledgements (shown, address, place, text) VALUES (?, ?, ?, ?)"));
    query.addBindValue(acknowledgement.shown.toMSecsSinceEpoch());
    query.addBindValue(acknowledgement.address);
    query.addBindValue(acknowledgement.place);
    query.addBindValue(acknowledgement.text);
    insertKeeping(db, query,
                  QStringLiteral("DELETE FROM acknowledgements WHERE id IN (SELECT id FROM acknowledgements ORDER BY id "
                                 "LIMIT max(0, (SELECT count(*) FROM acknowledgements) - ?))"),
                  maximumAcknowledgements, QStringLiteral("recording the acknowledgement"));
}

std::vector<LookupStore::Acknowledgement> LookupStore::recent(int count) {
    std::vector<Acknowledgement> list;
    if (!open_) return list;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT shown, address, place, text FROM acknowledgements ORDER BY id DESC LIMIT ?"));
    query.addBindValue(count);
    if (!query.exec()) {
        fail(QStringLiteral("reading the acknowledgements"));
        return list;
    }
    while (query.next()) {
        list.push_back({QDateTime::fromMSecsSinceEpoch(query.value(0).toLongLong(), Qt::UTC), query.value(1).toString(),
                        query.value(2).toString(), query.value(3).toString()});
    }
    return list;
}

}  // namespace Tidemark
