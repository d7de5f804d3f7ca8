// The services' keys (sent encoded, never logged, refusals told), the request limit, and the store of saved
// answers and acknowledgements (repeat meetings, stale and offline answers, damage, a kill mid-write).
#include "AppCore.h"
#include "LookupStore.h"
#include "Redaction.h"
#include "ServiceKeys.h"

#include "ChildRoutine.h"
#include "FakeCapture.h"
#include "FakeServices.h"
#include "ManualScheduler.h"
#include "Subprocess.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <QDir>
#include <QFileInfo>

#include "QtPrinters.h"

using namespace Tidemark;
using namespace std::chrono_literals;

namespace {

const std::string geoAnswer = R"({"ip":"192.0.2.7","city":"Montreal","region":"Quebec","country":"CA",)"
                              R"("loc":"45.5088,-73.5878","org":"AS64500"})";
const std::string wendat = R"([{"id":"w","type":"F","properties":{"name":"Wendat","description":"https://t/w"}}])";

struct NoPrompt final : PermissionPrompt {
    bool askToGrant(const QString&) override { return false; }
};
struct NoRunner final : PrivilegedRunner {
    void run(const QString&, std::function<void(PrivilegedOutcome)>) override {}
};

// A meeting: a stream from 192.0.2.7, the fake services, a clock and timers the test moves.
struct Meeting {
    Meeting(FakeServices& services, QString storePath = {}, std::optional<QString> key = QStringLiteral("k"),
            QDateTime now = QDateTime(QDate(2026, 12, 8), QTime(14, 2), Qt::UTC), std::optional<QString> token = {})
        : clock(now), core(InfoDictionary{}, prompt, runner, options(services, storePath, key, token)) {}

    AppCoreOptions options(FakeServices& services, const QString& storePath, std::optional<QString> key,
                           std::optional<QString> token) {
        AppCoreOptions o;
        o.ipInfoBaseAddress = services.ipBase();
        o.territoryBaseAddress = services.territoryBase();
        o.capture = capture.factory();
        o.scheduler = &scheduler;
        o.storePath = storePath;
        o.fixedTerritoryKey = key;
        o.fixedIpInfoToken = token;
        o.now = [this] { return clock; };
        return o;
    }
    void start() {
        core.monitor().startMonitoring();
        capture.deliver({datagrams("192.0.2.7", 8801)});
        scheduler.runPosted();
    }
    // Moves the clock on; while `streaming`, the server sends all along.
    void advance(std::chrono::milliseconds duration) {
        while (duration > 0ms) {
            const auto step = std::min<std::chrono::milliseconds>(duration, 5s);
            if (streaming) capture.deliver({datagrams("192.0.2.7", 8801)});
            scheduler.advance(step);
            duration -= step;
        }
    }
    bool settle(StatusColor color) {
        return QTest::qWaitFor([&] { return core.state().statusColor() == color; }, 10000);
    }
    QStringList log() { return core.state().statusText().split('\n', Qt::SkipEmptyParts); }

    QDateTime clock;
    bool streaming = true;
    ManualScheduler scheduler;
    FakeCapture capture;
    NoPrompt prompt;
    NoRunner runner;
    AppCore core;
};

}  // namespace

TEST(Keys, SentEncodedAndNeverLogged) {
    const QString key = QString::fromUtf8("a b&c=d/é+%k3y");
    const QString token = QStringLiteral("t0ken&maps=x");
    for (const int status : {200, 401}) {
        SCOPED_TRACE(status);
        FakeServices services;
        services.setIpAnswer({200, geoAnswer});
        services.setTerritoryAnswer({status, status == 200 ? wendat : R"({"error":"invalid key a b&c=d/é+%k3y"})"});
        Meeting meeting(services, {}, key, QDateTime::currentDateTimeUtc(), token);
        meeting.start();
        ASSERT_TRUE(meeting.settle(status == 200 ? StatusColor::green : StatusColor::red));
        ASSERT_EQ(services.requests().size(), 2u);
        // Each arrives whole: neither can add parameters of its own.
        EXPECT_EQ(services.requests()[0], "ip 192.0.2.7 token=" + token.toStdString());
        EXPECT_EQ(services.requests()[1], "territory maps=languages position=45.5088,-73.5878 key=" + key.toStdString());
        const QString log = meeting.core.state().statusText();
        for (const std::string& target : services.targets()) {
            EXPECT_FALSE(log.contains(QString::fromStdString(target.substr(target.find('?'))))) << target;
        }
        for (const QString& secret : {key, token, QString::fromUtf8(QUrl::toPercentEncoding(key))}) {
            EXPECT_FALSE(log.contains(secret)) << secret.toStdString();
        }
    }
    // What the log is told is redacted too, wherever it came from.
    EXPECT_EQ(redactKeys(QStringLiteral("GET /api?maps=languages&key=s3cret&position=1 token=abc"), {}),
              QStringLiteral("GET /api?maps=languages&key=\u2026&position=1 token=\u2026"));
    EXPECT_EQ(redactKeys(QStringLiteral("refused s3cretkey"), {QStringLiteral("s3cretkey"), {}}),
              QStringLiteral("refused \u2026"));
}

TEST(Keys, RefusalsAndLimitsSaySoAndWaitAsTold) {
    const QDateTime clock(QDate(2026, 12, 8), QTime(14, 2), Qt::UTC);
    const std::string dateIn305s = "a date 305 s from when the case runs";
    auto at = [&](int seconds) { return QLocale().toString(clock.addSecs(seconds).toLocalTime(), QStringLiteral("HH:mm")); };
    struct Case {
        const char* name;
        Answer ip;
        Answer territory;
        std::optional<QString> key;
        QString shown;
        int requests;                      // before any retry
        std::optional<int> retryAfter;     // seconds until the next attempt; none: no attempt within an hour
        int slack = 0;                     // seconds the attempt may come early or late (a date is read against the clock)
    };
    const Case cases[] = {
        {"no key", {200, geoAnswer}, {200, wendat}, std::nullopt, TerritoryLookup::needsKey(), 1, std::nullopt},
        {"territory 401", {200, geoAnswer}, {401, "{}"}, "k", TerritoryLookup::keyRefused(), 2, std::nullopt},
        {"territory 403", {200, geoAnswer}, {403, "{}"}, "k", TerritoryLookup::keyRefused(), 2, std::nullopt},
        {"ip 403", {403, "{}"}, {200, wendat}, "k", LocationLookup::tokenRefused(), 1, std::nullopt},
        {"429 in seconds", {200, geoAnswer}, {429, "{}", "application/json", 0ms, {{"Retry-After", "120"}}}, "k",
         "The service's request limit is reached; Tidemark will try again at " + at(120) + ".", 2, 120},
        // The date is written when the case runs (dateIn305s), 305 s on: read up to 5 s later, it is still
        // 300 to 305 s away, in the same minute.
        {"429 as a date", {429, "{}", "application/json", 0ms, {{"Retry-After", dateIn305s}}},
         {200, wendat}, "k", "The service's request limit is reached; Tidemark will try again at " + at(300) + ".", 1, 300, 5},
        {"429 for a day", {429, "{}", "application/json", 0ms, {{"Retry-After", "86400"}}}, {200, wendat}, "k",
         "The service's request limit is reached; Tidemark will try again at " + at(3600) + ".", 1, 3600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServices services;
        Answer ip = c.ip;
        for (auto& [name, value] : ip.headers) {
            if (value != dateIn305s) continue;
            value = QLocale::c()
                        .toString(QDateTime::currentDateTimeUtc().addSecs(305), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"))
                        .toStdString();
        }
        services.setIpAnswer(ip);
        services.setTerritoryAnswer(c.territory);
        Meeting meeting(services, {}, c.key, clock);
        meeting.start();
        ASSERT_TRUE(meeting.settle(StatusColor::red));
        EXPECT_EQ(meeting.core.state().mainText(), c.shown);
        EXPECT_EQ(services.requests().size(), static_cast<std::size_t>(c.requests));
        EXPECT_EQ(meeting.core.state().needsKey(), !c.retryAfter);  // the view offers Settings
        // A lookup starts on the main thread, and says so in the log, before anything is sent.
        const auto lookups = [&] { return meeting.log().filter(QStringLiteral("Loading ")).size(); };
        const auto before = lookups();
        if (c.retryAfter) {
            meeting.advance(std::chrono::seconds(*c.retryAfter - 1 - c.slack));
            EXPECT_EQ(lookups(), before);
            meeting.advance(std::chrono::seconds(1 + 2 * c.slack));
            EXPECT_GT(lookups(), before);
            EXPECT_TRUE(QTest::qWaitFor([&] { return services.requests().size() > static_cast<std::size_t>(c.requests); }, 5000));
        } else {
            // Only a new key helps: nothing is sent meanwhile. Once Settings has one, the lookup goes on.
            meeting.advance(1h);
            EXPECT_EQ(lookups(), before);
            EXPECT_EQ(services.requests().size(), static_cast<std::size_t>(c.requests));
            services.setIpAnswer({200, geoAnswer});
            services.setTerritoryAnswer({200, wendat});
            meeting.core.setStoredKeys({QStringLiteral("new"), {}});
            if (!c.key) {  // the key from the environment wins over Settings'
                EXPECT_TRUE(meeting.settle(StatusColor::green));
                EXPECT_FALSE(meeting.core.state().needsKey());
            }
        }
    }
}

TEST(Store, RepeatMeetingsStaleAndOfflineAnswersAndTheHistory) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lookups.sqlite"));
    FakeServices services;
    services.setIpAnswer({200, geoAnswer});
    services.setTerritoryAnswer({200, wendat});
    const QDateTime first(QDate(2026, 12, 8), QTime(14, 2), Qt::UTC);
    {
        Meeting meeting(services, path, QStringLiteral("k"), first);
        meeting.start();
        ASSERT_TRUE(meeting.settle(StatusColor::green));
        EXPECT_EQ(services.requests().size(), 2u);
        // The stream ends: the view waits again, and the answer stays at hand for 30 minutes.
        meeting.streaming = false;
        const QString text = meeting.core.acknowledgementText();
        meeting.advance(20s);
        EXPECT_EQ(meeting.core.state().statusColor(), StatusColor::orange);
        ASSERT_TRUE(meeting.core.state().lastAnswer());
        EXPECT_EQ(meeting.core.state().lastAnswer()->place, QStringLiteral("Montreal, Quebec, CA"));
        EXPECT_EQ(meeting.core.acknowledgementText(), text);
        meeting.advance(30min);
        EXPECT_TRUE(meeting.core.acknowledgementText().isEmpty());
    }
    struct Case {
        const char* name;
        int daysLater;
        int ipStatus;
        std::size_t newRequests;
        QString notice;
    };
    const Case cases[] = {
        {"the next day: both answers saved, nothing sent", 1, 200, 0, {}},
        {"8 days later: the location is asked again, the territory is not", 8, 200, 1, {}},
        {"40 days later, offline: both saved answers, said to be saved", 40, 503, 2,
         QStringLiteral("; the service could not be reached.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        services.setIpAnswer({c.ipStatus, c.ipStatus == 200 ? geoAnswer : "down"});
        services.setTerritoryAnswer({c.ipStatus, c.ipStatus == 200 ? wendat : "down"});
        const std::size_t before = services.requests().size();
        Meeting meeting(services, path, QStringLiteral("k"), first.addDays(c.daysLater));
        meeting.start();
        ASSERT_TRUE(meeting.settle(StatusColor::green));  // at once, from what was saved
        ASSERT_TRUE(QTest::qWaitFor([&] { return services.requests().size() == before + c.newRequests; }, 5000))
            << meeting.log().join('\n').toStdString();
        if (!c.notice.isEmpty()) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !meeting.core.state().notice().isEmpty(); }, 5000));
        }
        // What was answered from the store says so at once; nothing more goes out.
        EXPECT_EQ(meeting.log().filter(QStringLiteral("nothing sent")).size(), 2 - static_cast<qsizetype>(c.newRequests));
        EXPECT_EQ(services.requests().size(), before + c.newRequests);
        if (c.notice.isEmpty()) {
            EXPECT_EQ(meeting.core.state().notice(), QString());
        } else {
            EXPECT_TRUE(meeting.core.state().notice().startsWith(QStringLiteral("Saved answer from 2026-12-")));
            EXPECT_TRUE(meeting.core.state().notice().endsWith(c.notice)) << meeting.core.state().notice().toStdString();
        }
        EXPECT_EQ(meeting.core.state().statusColor(), StatusColor::green);
    }
    LookupStore store(path, {});
    const auto recent = store.recent(20);
    ASSERT_EQ(recent.size(), 4u);  // one per answer shown
    EXPECT_EQ(recent[0].place, QStringLiteral("Montreal, Quebec, CA"));
    EXPECT_TRUE(recent[0].text.endsWith(QStringLiteral("\nWendat: https://t/w\n")));
    EXPECT_TRUE(store.clearAnswers());
    EXPECT_EQ(store.answerCount(), 0u);
    EXPECT_EQ(store.recent(20).size(), 4u);  // the history is not the saved answers
}

// Writes answers until it is killed (Store.KillDuringWritesAndDamage).
TIDEMARK_CHILD_ROUTINE(storeWriter) {
    LookupStore store(QString::fromStdString(argument), {});
    for (int i = 0;; ++i) store.put(LookupStore::Kind::location, QString::number(i % 20'000), 200, "answer " + QByteArray::number(i));
}

TEST(Store, KillDuringWritesAndDamage) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lookups.sqlite"));
    // A writer killed mid-write: the file opens, checks whole, and keeps what was committed.
    // Killed once it has written a hundred answers, in the middle of the next ones.
    auto killed = TestSupport::runProgram({"/proc/self/exe", "--child", "storeWriter", path.toStdString()},
                                          TestSupport::ProgramOptions::during([&](pid_t pid) {
                                              (void)QTest::qWaitFor([&] {
                                                  LookupStore reader(path, {});
                                                  return reader.answerCount() > 100;
                                              }, 20000);
                                              kill(pid, SIGKILL);
                                          }));
    ASSERT_EQ(killed.signal, SIGKILL) << killed.err;
    QStringList log;
    {
        LookupStore store(path, [&](const QString& line) { log << line; });
        EXPECT_TRUE(store.isOpen());
        EXPECT_TRUE(log.isEmpty()) << log.join('\n').toStdString();
        EXPECT_GT(store.answerCount(), 50u);
        EXPECT_LE(store.answerCount(), static_cast<std::size_t>(LookupStore::maximumAnswers));
        std::optional<LookupStore::Answer> answer;
        for (int i = 0; i < 20'000 && !answer; ++i) answer = store.find(LookupStore::Kind::location, QString::number(i));
        ASSERT_TRUE(answer);
        EXPECT_TRUE(answer->body.startsWith("answer "));
    }
}

namespace {

// A small tmpfs of the test's own (needs root), unmounted with the object.
struct Tmpfs {
    Tmpfs() {
        ok = dir.isValid() && std::system(("mount -t tmpfs -o size=2m,mode=0700 tidemark-test " + dir.path().toStdString()).c_str()) == 0;
    }
    ~Tmpfs() {
        if (ok) std::system(("umount " + dir.path().toStdString()).c_str());
    }
    bool remount(const char* mode) { return std::system(("mount -o remount," + std::string(mode) + " " + dir.path().toStdString()).c_str()) == 0; }
    // Fills the file system to the last byte.
    void fill() {
        QFile filler(dir.filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly)) return;
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    QTemporaryDir dir;
    bool ok = false;
};

LookupStore::Acknowledgement acknowledgement(const QString& place) {
    return {QDateTime(QDate(2026, 12, 8), QTime(14, 2), Qt::UTC), "192.0.2.7", place, "text", "Zoom", {"Wendat"}, {}, 0};
}

}  // namespace

TEST(Store, TroubleKeepsTheFileAndSaysSoOnlyDamageSetsItAside) {
    // Each case: a store with one acknowledgement, then the trouble, then the program starts again.
    if (geteuid() != 0) GTEST_SKIP() << "needs root to mount the test's file systems, as in CI";
    using Health = LookupStore::Health;
    struct Case {
        const char* name;
        std::function<void(Tmpfs&, const QString& path)> trouble;
        Health health;
        bool historyShown;
        const char* asideGlob;  // a file set aside, or none
    };
    const auto run = [](const QString& path, const char* sql) {
        std::system(("python3 -c \"import sqlite3; c = sqlite3.connect('" + path.toStdString() + "'); c.executescript('" + sql +
                     "'); c.commit()\"").c_str());
    };
    const Case cases[] = {
        {"a full disk", [](Tmpfs& fs, const QString&) { fs.fill(); }, Health::readOnly, true, nullptr},
        {"a read-only folder", [](Tmpfs& fs, const QString&) { fs.remount("ro"); }, Health::readOnly, true, nullptr},
        {"a file SQLite finds damaged",
         [](Tmpfs&, const QString& path) {
             QFile file(path);
             file.open(QIODevice::ReadWrite);
             file.seek(100);
             file.write(QByteArray(8192, '\xff'));
         },
         Health::setAside, false, "lookups.sqlite.damaged-*"},
        {"a file of a newer program", [&](Tmpfs&, const QString& path) { run(path, "PRAGMA user_version = 99;"); },
         Health::setAside, false, "lookups.sqlite.newer-*"},
        {"a file of an older program, without a version",
         [&](Tmpfs&, const QString& path) {
             run(path, "DROP TABLE acknowledgements; PRAGMA user_version = 0; CREATE TABLE acknowledgements (id INTEGER PRIMARY KEY, "
                       "shown INTEGER NOT NULL, address TEXT NOT NULL, place TEXT NOT NULL, text TEXT NOT NULL); INSERT INTO "
                       "acknowledgements (shown, address, place, text) VALUES (1, \\\"192.0.2.7\\\", \\\"Old Town\\\", \\\"t\\\");");
         },
         Health::ok, true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Tmpfs fs;
        ASSERT_TRUE(fs.ok);
        const QString path = fs.dir.filePath(QStringLiteral("cache/tidemark/lookups.sqlite"));
        const mode_t umaskBefore = umask(0);  // whatever the umask, the user's alone
        {
            LookupStore store(path, {});
            ASSERT_EQ(store.health(), Health::ok);
            store.record(acknowledgement(QStringLiteral("Old Town")));
        }
        umask(umaskBefore);
        struct stat info {};
        ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        ASSERT_EQ(stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);

        c.trouble(fs, path);
        QStringList log;
        LookupStore store(path, [&](const QString& line) { log << line; });
        EXPECT_EQ(store.health(), c.health) << log.join('\n').toStdString();
        EXPECT_EQ(store.problem().isEmpty(), c.health == Health::ok) << store.problem().toStdString();
        const auto recent = store.recent(5);
        EXPECT_EQ(!recent.empty() && recent[0].place == QStringLiteral("Old Town"), c.historyShown);
        const QStringList aside = QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral("lookups.sqlite.*-2*")});
        EXPECT_EQ(aside.size(), c.asideGlob ? 1 : 0) << aside.join(' ').toStdString();
        if (c.asideGlob) {
            EXPECT_TRUE(QDir::match(QString::fromUtf8(c.asideGlob), aside.value(0)));
        }
        store.record(acknowledgement(QStringLiteral("New Town")));  // saved only by a store that can write
        EXPECT_EQ(store.recent(5).size(), (c.historyShown ? 1u : 0u) + (c.health == Health::readOnly ? 0u : 1u));
    }
}

TEST(Store, TwoInstancesStartingAtOnceNeverSetEachOtherAside) {
    for (int round = 0; round < 15; ++round) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lookups.sqlite"));
        std::vector<pid_t> children;
        for (int i = 0; i < 3; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                LookupStore store(path, {});
                store.put(LookupStore::Kind::location, QString::number(i), 200, "{}");
                _exit(store.health() == LookupStore::Health::ok ? 0 : 1);
            }
            children.push_back(pid);
        }
        for (pid_t pid : children) {
            int status = 0;
            waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << round;
        }
        EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.damaged-*")}).size(), 0) << round;
        LookupStore store(path, {});
        EXPECT_EQ(store.answerCount(), 3u) << round;
    }
}

namespace {

// An environment variable set for one test, and put back after it.
struct ScopedEnvironment {
    ScopedEnvironment(const char* name, const QByteArray& value) : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnvironment() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }
    const char* name_;
    bool had_;
    QByteArray old_;
};

#define CHILD_CHECK(condition)                                                       \
    if (!(condition)) {                                                             \
        std::fprintf(stderr, "failed at line %d: %s\n", __LINE__, #condition);      \
        return 1;                                                                   \
    }

}  // namespace

// On a session bus of its own where a real Secret Service runs: the keys go there, and come back.
TIDEMARK_CHILD_ROUTINE(secretStore) {
    KeyStore store(QString::fromStdString(argument) + QStringLiteral("/config/keys.json"));
    const ServiceKeys keys{QStringLiteral("territory-k3y"), QStringLiteral("ip-t0ken")};
    std::optional<std::pair<KeyStore::Place, QString>> saved;
    store.save(keys, [&](KeyStore::Place place, QString error) { saved.emplace(place, error); });
    CHILD_CHECK(QTest::qWaitFor([&] { return saved.has_value(); }, 20000));
    CHILD_CHECK(saved->first == KeyStore::Place::secretStore);
    CHILD_CHECK(saved->second.isEmpty());
    CHILD_CHECK(!QFile::exists(store.fallbackPath()));  // nothing on disk
    std::optional<std::pair<ServiceKeys, KeyStore::Place>> loaded;
    KeyStore again(store.fallbackPath());
    again.load([&](ServiceKeys found, KeyStore::Place place) { loaded.emplace(found, place); });
    CHILD_CHECK(QTest::qWaitFor([&] { return loaded.has_value(); }, 20000));
    CHILD_CHECK(loaded->first == keys);
    CHILD_CHECK(loaded->second == KeyStore::Place::secretStore);
    return 0;
}

TEST(KeyStore, TheDesktopsSecretServiceKeepsTheKeys) {
    // A private session bus and an unlocked gnome-keyring on it, the child's alone.
    ASSERT_EQ(std::system("command -v gnome-keyring-daemon > /dev/null && command -v dbus-run-session > /dev/null"), 0)
        << "the test command installs gnome-keyring and dbus";
    QTemporaryDir home;
    QDir().mkpath(home.filePath(QStringLiteral("runtime")));
    chmod(home.filePath(QStringLiteral("runtime")).toLocal8Bit().constData(), 0700);
    const std::string root = home.path().toStdString();
    TestSupport::ProgramOptions options;
    options.environment = {"HOME=" + root, "XDG_DATA_HOME=" + root + "/data", "XDG_CONFIG_HOME=" + root + "/config",
                           "XDG_RUNTIME_DIR=" + root + "/runtime"};
    const auto result = TestSupport::runProgram(
        {"dbus-run-session", "--", "sh", "-c",
         "printf secret | gnome-keyring-daemon --unlock --components=secrets > /dev/null && exec \"$0\" --child secretStore \"$1\"",
         std::filesystem::read_symlink("/proc/self/exe").string(), root},
        options);
    EXPECT_EQ(result.exitCode, 0) << result.err;
}

TEST(KeyStore, WithoutASecretServiceTheKeysGoToAFileOnlyTheUserReads) {
    const ScopedEnvironment noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tidemark-test-bus");
    QTemporaryDir dir;
    // A keys.json that is a link to another file (the user's, or someone's), under umask 000.
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    QFile target(elsewhere);
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write("untouched");
    target.close();
    QDir().mkpath(dir.filePath(QStringLiteral("config")));
    ASSERT_TRUE(QFile::link(elsewhere, dir.filePath(QStringLiteral("config/keys.json"))));
    const mode_t umaskBefore = umask(0);
    KeyStore store(dir.filePath(QStringLiteral("config/keys.json")));
    QStringList problems;
    QObject::connect(&store, &KeyStore::problem, [&](const QString& line) { problems << line; });
    const ServiceKeys keys{QStringLiteral("territory-k3y"), QStringLiteral("ip-t0ken")};
    std::optional<std::pair<KeyStore::Place, QString>> saved;
    store.save(keys, [&](KeyStore::Place place, QString error) { saved.emplace(place, error); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return saved.has_value(); }, 20000));
    umask(umaskBefore);
    EXPECT_EQ(saved->first, KeyStore::Place::file);
    EXPECT_EQ(saved->second, QString());
    struct stat info {};
    ASSERT_EQ(lstat(store.fallbackPath().toLocal8Bit().constData(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));  // the link was replaced, not followed
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), QByteArray("untouched"));
    ASSERT_EQ(stat(dir.filePath(QStringLiteral("config")).toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // A keys.json others may read is made the user's alone, and the log says so.
    chmod(store.fallbackPath().toLocal8Bit().constData(), 0644);
    std::optional<std::pair<ServiceKeys, KeyStore::Place>> loaded;
    store.load([&](ServiceKeys found, KeyStore::Place place) { loaded.emplace(found, place); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.has_value(); }, 20000));
    EXPECT_EQ(loaded->first, keys);
    EXPECT_EQ(loaded->second, KeyStore::Place::file);
    ASSERT_EQ(stat(store.fallbackPath().toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(problems.size(), 1);
    // A key file holds its first line, trimmed; one others may read is refused, as ssh refuses a key.
    QFile file(dir.filePath(QStringLiteral("key")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("  abc123 \nsecond line\n");
    file.close();
    KeyStore::KeyFileProblem problem{};
    chmod(QFile::encodeName(file.fileName()).constData(), 0644);
    EXPECT_FALSE(KeyStore::readKeyFile(file.fileName(), &problem));
    EXPECT_EQ(problem, KeyStore::KeyFileProblem::notPrivate);
    chmod(QFile::encodeName(file.fileName()).constData(), 0600);
    EXPECT_EQ(KeyStore::readKeyFile(file.fileName()), QStringLiteral("abc123"));
    EXPECT_FALSE(KeyStore::readKeyFile(dir.filePath(QStringLiteral("missing"))));
}
