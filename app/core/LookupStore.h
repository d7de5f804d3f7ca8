#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class QSqlDatabase;
class QSqlQuery;

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace Tidemark {

// What the services answered, kept in SQLite so that a repeat meeting needs no request and an offline
// one still has an answer; and the acknowledgements shown. One file, in WAL mode: a crash loses at most
// the last write, never the file. A file that cannot be read is moved aside and made anew.
// Main thread only.
class LookupStore {
public:
    enum class Kind { location, territory };

    struct Answer {
        int status = 0;
        QByteArray body;
        QDateTime fetched;
        bool fresh = false;  // younger than its kind's age limit
    };

    struct Acknowledgement {
        QDateTime shown;
        QString address;
        QString place;
        QString text;  // as copied: the sentence, then each people's name and link
    };

    static constexpr int maximumAnswers = 10'000;
    static constexpr int maximumAcknowledgements = 1'000;
    static constexpr qint64 maximumBody = 1 << 20;
    // Where a server stands changes rarely; whose land a position is on, more rarely still.
    static constexpr std::chrono::hours locationAge{7 * 24};
    static constexpr std::chrono::hours territoryAge{30 * 24};

    // Opens (or makes) the file; `log` hears what went wrong. An empty path keeps nothing.
    LookupStore(QString path, std::function<void(const QString&)> log, std::function<QDateTime()> now = {});
    ~LookupStore();
    LookupStore(const LookupStore&) = delete;
    LookupStore& operator=(const LookupStore&) = delete;

    // The usual file: lookups.sqlite in the user's cache folder.
    static QString defaultPath();

    bool isOpen() const { return open_; }
    std::optional<Answer> find(Kind kind, const QString& key);
    void put(Kind kind, const QString& key, int status, const QByteArray& body);
    // Forgets every saved answer (the acknowledgements stay).
    bool clearAnswers();

    void record(const Acknowledgement& acknowledgement);
    // The newest first.
    std::vector<Acknowledgement> recent(int count);

    std::size_t answerCount();

private:
    bool openFile();
    bool exec(const QString& statement);
    // Runs the prepared `insert`, then `trim` bound to `keep` (it drops the oldest rows beyond that), in the
    // transaction open on `db`; on failure rolls back and says what failed.
    void insertKeeping(QSqlDatabase& db, QSqlQuery& insert, const QString& trim, int keep, const QString& what);
    void fail(const QString& what);

    QString path_;
    QString connection_;
    std::function<void(const QString&)> log_;
    std::function<QDateTime()> now_;
    bool open_ = false;
};

}  // namespace Tidemark
