#include "PermissionStep.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "QtPrinters.h"

using namespace Tidemark;

namespace {

struct FakePrompt final : PermissionPrompt {
    bool answer = true;
    std::vector<QString> questions;
    int activations = 0;
    bool askToGrant(const QString& question) override {
        questions.push_back(question);
        return answer;
    }
    void activate() override { ++activations; }
};

struct FakeRunner final : PrivilegedRunner {
    PrivilegedOutcome outcome;
    std::vector<QString> scripts;
    void run(const QString& scriptPath, std::function<void(PrivilegedOutcome)> completion) override {
        scripts.push_back(scriptPath);
        completion(outcome);
    }
};

const GrantRoute installed{GrantRoute::Kind::script, QStringLiteral("/opt/My Apps/tidemark/BPF_Permission.sh"),
                           QStringLiteral("/opt/My Apps/tidemark/tidemark-capture")};

struct Harness {
    explicit Harness(GrantRoute route = installed)
        : step(PermissionStep::Dependencies{state, prompt, runner, [route] { return route; },
                                            [this] {
                                                ++restarts;
                                                state.appendLog(QStringLiteral("runEtherCapture()"));
                                            },
                                            [this] { ++quits; },
                                            [this](const std::string& line) { printed.push_back(line); }}) {}

    QStringList log() const { return state.statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1); }
    bool failed() const {
        return state.mainText().startsWith(PermissionStep::failureMessage()) &&
               state.statusColor() == StatusColor::red && state.retryError();
    }

    DisplayState state{std::nullopt};
    FakePrompt prompt;
    FakeRunner runner;
    int restarts = 0;
    int quits = 0;
    std::vector<std::string> printed;
    PermissionStep step;
};

const QString scriptPath = QStringLiteral("/opt/My Apps/tidemark/BPF_Permission.sh");

}  // namespace

TEST(PermissionStep, GrantedStartsTheNextCaptureRun) {
    Harness h;
    h.runner.outcome = {QStringLiteral("true"), std::nullopt, {}};
    h.step.requestPermission();
    // The helper has its capability now: the next run simply works, in this same process.
    EXPECT_EQ(h.log(), (QStringList{scriptPath, "Running permission script", "No error on AS", "runEtherCapture()",
                                    "Looks good: true"}));
    EXPECT_EQ(h.quits, 0);
    EXPECT_EQ(h.runner.scripts, std::vector<QString>{scriptPath});  // the blank stays one argument
    EXPECT_EQ(h.restarts, 1);
    EXPECT_EQ(h.prompt.activations, 1);
    EXPECT_FALSE(h.state.retryError());
    // Back to waiting at once: no red instruction left behind.
    EXPECT_EQ(h.state.mainText(), DisplayState::waitingText());
    EXPECT_EQ(h.state.statusColor(), StatusColor::orange);
    EXPECT_EQ(h.prompt.questions, std::vector<QString>{PermissionStep::question()});
    EXPECT_TRUE(PermissionStep::question().contains(QStringLiteral("not administrator access")));
}

TEST(PermissionStep, CancelInTheDialogOffersTryAgain) {
    Harness h;
    h.prompt.answer = false;
    h.step.requestPermission();
    EXPECT_TRUE(h.runner.scripts.empty());
    const QString cancelled = QStringLiteral("Error: ") + PermissionStep::cancelled();
    EXPECT_EQ(h.log(), (QStringList{scriptPath, "Running permission script", cancelled, cancelled}));
    EXPECT_EQ(h.printed, std::vector<std::string>{PermissionStep::cancelled().toStdString()});
    EXPECT_TRUE(h.failed());
    EXPECT_EQ(h.state.mainText(), PermissionStep::failureMessage() + QLatin1Char(' ') + PermissionStep::cancelled());
    EXPECT_EQ(h.restarts + h.quits, 0);
}

TEST(PermissionStep, RunnerOutcomes) {
    struct Case {
        const char* name;
        PrivilegedOutcome outcome;
        QStringList tail;  // log after "Running permission script"
        QString shown;     // after the failure message
        bool failed;
        int restarts;
        int quits;
    };
    const Case cases[] = {
        {"script printed something", {"false:error", std::nullopt, {}}, {"No error on AS", "scriptResult.stringValue"},
         {}, true, 0, 0},
        {"script failed", {"false:error", std::nullopt, "setcap failed: Operation not supported"},
         {"Permission script output: setcap failed: Operation not supported", "No error on AS",
          "scriptResult.stringValue"},
         " The permission script said: setcap failed: Operation not supported", true, 0, 0},
        {"authentication dismissed", {std::nullopt, PkexecRunner::dismissed(), {}},
         {"Error: " + PkexecRunner::dismissed(), "Error: " + PkexecRunner::dismissed()}, " " + PkexecRunner::dismissed(),
         true, 0, 0},
        {"true with an error", {"true", "odd", {}}, {"Error: odd", "Looks good: true"}, " odd", true, 0, 0},
        {"user said no", {"false:user", std::nullopt, {}}, {"No error on AS", "Quitting app"}, {}, false, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.runner.outcome = c.outcome;
        h.step.requestPermission();
        EXPECT_EQ(h.log().mid(2), c.tail);
        EXPECT_EQ(h.failed(), c.failed);
        if (c.failed) {
            EXPECT_EQ(h.state.mainText(), PermissionStep::failureMessage() + c.shown);
        }
        EXPECT_EQ(h.restarts, c.restarts);
        EXPECT_EQ(h.quits, c.quits);
    }
}

TEST(PermissionStep, ABuildTreeSaysTheOneCommandThatGrantsItsHelper) {
    // No root script runs on a path the user controls: the window and the log say what to type.
    Harness h(GrantRoute{GrantRoute::Kind::byHand, {}, QStringLiteral("/home/ada/tidemark/build/app/tidemark-capture")});
    h.step.requestPermission();
    const QString text = QStringLiteral("Tidemark's capture helper needs the capture right once. In a terminal, run: "
                                        "sudo setcap cap_net_raw+ep /home/ada/tidemark/build/app/tidemark-capture "
                                        "and then choose Try Again.");
    EXPECT_EQ(h.state.mainText(), text);
    EXPECT_EQ(h.log(), QStringList{text});
    EXPECT_EQ(h.state.statusColor(), StatusColor::red);
    EXPECT_TRUE(h.state.retryError());
    EXPECT_TRUE(h.prompt.questions.empty());
    EXPECT_TRUE(h.runner.scripts.empty());

    Harness missing(GrantRoute{GrantRoute::Kind::byHand, {}, {}});
    missing.step.requestPermission();
    EXPECT_TRUE(missing.state.mainText().startsWith("Tidemark's capture helper (tidemark-capture) is missing"));
    EXPECT_TRUE(missing.state.retryError());

    // A helper the administrator limited to a group: whom to ask, and for what; nothing is run.
    Harness outside(GrantRoute{GrantRoute::Kind::group, {}, QStringLiteral("/usr/libexec/tidemark/tidemark-capture"),
                               QStringLiteral("tidemark")});
    outside.step.requestPermission();
    EXPECT_TRUE(outside.state.mainText().startsWith(
        "Tidemark's capture helper may only be run by the members of the tidemark group. Ask an administrator to add "
        "you to the tidemark group: sudo adduser "));
    EXPECT_TRUE(outside.prompt.questions.empty());
    EXPECT_TRUE(outside.runner.scripts.empty());
    EXPECT_TRUE(outside.state.retryError());
}

namespace {

// A pkexec stand-in that runs the script as it is; each case's script plays pkexec's outcome.
struct FakePkexec {
    QTemporaryDir dir;
    QString program = dir.filePath(QStringLiteral("pkexec"));
    FakePkexec() { write(program, QStringLiteral("exec \"$@\"\n")); }
    QString script(const QString& name, const QString& body) {
        const QString path = dir.filePath(name);
        write(path, body);
        return path;
    }
    static void write(const QString& path, const QString& body) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(("#!/bin/sh\n" + body).toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

PrivilegedOutcome runThrough(PkexecRunner& runner, const QString& script) {
    std::optional<PrivilegedOutcome> outcome;
    runner.run(script, [&](PrivilegedOutcome o) { outcome = o; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 10000));
    return outcome.value_or(PrivilegedOutcome{});
}

}  // namespace

TEST(PkexecRunner, EachOutcomeHasItsOwnText) {
    FakePkexec pkexec;
    struct Case {
        const char* name;
        QString body;
        std::optional<QString> result;
        std::optional<QString> error;
        QString output;
    };
    const Case cases[] = {
        {"granted", "exit 0\n", QStringLiteral("true"), std::nullopt, {}},
        {"dismissed", "exit 126\n", std::nullopt, PkexecRunner::dismissed(), {}},
        {"not authorised", "echo 'Error executing command as another user: Not authorized'; exit 127\n",
         std::nullopt, PkexecRunner::notAuthorised(), {}},
        {"no polkit daemon", "echo 'Error getting authority: Error initializing authority: Could not connect'; exit 127\n",
         std::nullopt, PkexecRunner::noAuthority(), {}},
        {"no agent", "echo 'Error executing command as another user: No authentication agent found.'; exit 127\n",
         std::nullopt, PkexecRunner::noAgent(QStringLiteral("@script")), {}},
        {"no textual agent", "echo 'Error creating textual authentication agent: Error opening current controlling "
         "terminal for the process'; exit 127\n",
         std::nullopt, PkexecRunner::noAgent(QStringLiteral("@script")), {}},
        {"script failed", "echo 'setcap failed: Operation not supported'; exit 1\n", QStringLiteral("false:error"),
         std::nullopt, QStringLiteral("setcap failed: Operation not supported")},
        {"script printed", "echo odd\n", QStringLiteral("false:error"), std::nullopt, QStringLiteral("odd")},
    };
    PkexecRunner runner(pkexec.program);
    std::vector<bool> terminal;  // in a terminal, told when pkexec has it and when it is free again
    runner.useTerminal([&](bool running) { terminal.push_back(running); });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        terminal.clear();
        const QString script = pkexec.script(QString::fromLatin1(c.name), c.body);
        const PrivilegedOutcome outcome = runThrough(runner, script);
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(outcome.error, c.error ? std::optional(QString(*c.error).replace(QStringLiteral("@script"), script))
                                         : std::nullopt);
        EXPECT_EQ(outcome.output, c.output);
        EXPECT_EQ(terminal, (std::vector<bool>{true, false}));
    }
    PkexecRunner missing(pkexec.dir.filePath(QStringLiteral("no-such-pkexec")));
    EXPECT_EQ(runThrough(missing, QStringLiteral("/bin/true")).error, PkexecRunner::notInstalled());
}
