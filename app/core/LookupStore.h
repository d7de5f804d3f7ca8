#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace Tidemark {

// What the services answered, kept in SQLite so that a repeat meeting needs no request and an offline
// one still has an answer; and the acknowledgements shown. One file, in WAL mode: a crash loses at most
// the last write, never the file. Only a file SQLite itself finds damaged is moved aside (never deleted)
// and made anew, and one written by a newer program; any other trouble (a full disk, a read-only folder,
// a lock) keeps the file, shows what it holds when it can be read, and saves nothing. The file is the
// user's alone (0600, in a 0700 folder). Main thread only.
class LookupStore {
public:
    enum class Kind { location, territory };

    // How the file is doing.
    enum class Health {
        ok,           // read and written
        readOnly,     // what was saved is shown; nothing new is saved
        unavailable,  // neither read nor written
        setAside,     // the file was damaged, or newer than this program: moved aside, a new one in use
    };

    struct Answer {
        int status = 0;
        QByteArray body;
        QDateTime fetched;
        bool fresh = false;  // younger than its kind's age limit
    };

    // One meeting's acknowledgement, as shown.
    struct Acknowledgement {
        QDateTime shown;
        QString address;      // the media server's
        QString place;
        QString text;         // as copied: the sentence, then each people's name and link
        QString service;      // "Zoom"
        QStringList peoples;  // the server's land
        QStringList ownPeoples;  // the land the user joins from, when a place of their own is set
        qint64 id = 0;

        friend bool operator==(const Acknowledgement&, const Acknowledgement&) = default;
    };

    static constexpr int schemaVersion = 1;
    static constexpr int maximumAnswers = 10'000;
    static constexpr int maximumAcknowledgements = 1'000;
    static constexpr qint64 maximumBody = 1 << 20;
    // Where a server stands changes rarely; whose land a position is on, more rarely still.
    static constexpr std::chrono::hours locationAge{7 * 24};
    static constexpr std::chrono::hours territoryAge{30 * 24};
    // An acknowledgement of the same server and service within this time belongs to the same meeting.
    static constexpr std::chrono::minutes sameMeeting{30};

    // Opens (or makes) the file; `log` hears what went wrong, in English. An empty path keeps nothing.
    LookupStore(QString path, std::function<void(const QString&)> log, std::function<QDateTime()> now = {});
    ~LookupStore();
    LookupStore(const LookupStore&) = delete;
    LookupStore& operator=(const LookupStore&) = delete;

    // The usual file: lookups.sqlite in the user's cache folder.
    static QString defaultPath();

    bool isOpen() const { return open_; }
    Health health() const { return health_; }
    // What the user is told about the file, in their language; empty while all is well.
    QString problem() const { return problem_; }
    // Called when the health changes after opening (a write that fails).
    void onProblem(std::function<void()> changed) { changed_ = std::move(changed); }

    std::optional<Answer> find(Kind kind, const QString& key);
    void put(Kind kind, const QString& key, int status, const QByteArray& body);
    // The newest `count` answers of a kind, newest first.
    std::vector<Answer> newest(Kind kind, int count);
    // Forgets every saved answer (the acknowledgements stay).
    bool clearAnswers();

    // Keeps an acknowledgement: a new row, or the same meeting's row brought up to date.
    void record(const Acknowledgement& acknowledgement);
    // How many meetings the recent lists show.
    static constexpr int recentShown = 20;
    // The newest first.
    std::vector<Acknowledgement> recent(int count);
    bool remove(qint64 id);

    std::size_t answerCount();

private:
    enum class Opened { ok, damaged, newer, unavailable };
    Opened openFile(bool readOnly);
    bool migrate(int from);
    // The answer on the query's row (status, body, fetched).
    Answer answerAt(const QSqlQuery& query, Kind kind) const;
    void setAside(const QString& why, const QString& suffix);
    bool exec(const QString& statement);
    // Runs the prepared `insert`, then `trim` bound to `keep` (it drops the oldest rows beyond that), in the
    // transaction open on `db`; on failure rolls back and says what failed.
    bool insertKeeping(QSqlDatabase& db, QSqlQuery& insert, const QString& trim, int keep, const QString& what);
    void fail(const QString& what, const QSqlError& error);
    void closeConnection();

    QString path_;
    QString connection_;
    std::function<void(const QString&)> log_;
    std::function<QDateTime()> now_;
    std::function<void()> changed_;
    bool open_ = false;
    bool writable_ = false;
    Health health_ = Health::ok;
    QString problem_;
    QString lastError_;  // SQLite's, of the last failed open
    int lastCode_ = 0;
};

}  // namespace Tidemark
