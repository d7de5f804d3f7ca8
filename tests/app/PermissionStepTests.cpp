#include "PermissionStep.h"

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

struct Harness {
    explicit Harness(std::optional<QString> script = QStringLiteral("/opt/My Apps/tidemark/BPF_Permission.sh"))
        : step(PermissionStep::Dependencies{state, prompt, runner, [script] { return script; },
                                            [] { return QStringLiteral("ada"); }, [this] { ++restarts; },
                                            [this] { ++quits; },
                                            [this](const std::string& line) { printed.push_back(line); }}) {}

    QStringList log() const { return state.statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1); }
    bool failed() const {
        return state.mainText() == PermissionStep::failureMessage && state.statusColor() == StatusColor::red &&
               state.retryError();
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

TEST(PermissionStep, GrantedRestartsWithTheNewRights) {
    Harness h;
    h.runner.outcome = {QStringLiteral("true"), std::nullopt};
    h.step.requestPermission();
    EXPECT_EQ(h.log(), (QStringList{scriptPath, "Running permission script", "No error on AS", "Looks good: true"}));
    EXPECT_EQ(h.runner.scripts, std::vector<QString>{scriptPath});  // the blank stays one argument
    EXPECT_EQ(h.restarts, 1);
    EXPECT_EQ(h.prompt.activations, 1);
    EXPECT_FALSE(h.state.retryError());
    EXPECT_EQ(h.state.mainText(), PermissionStep::requestMessage);
    EXPECT_EQ(h.prompt.questions,
              std::vector<QString>{"In order to access the IP address of the data coming into your computer, you'll "
                                   "need to grant administrator access to the user ada. Click OK to continue, or "
                                   "Cancel to quit."});
}

TEST(PermissionStep, CancelInTheDialogOffersTryAgain) {
    Harness h;
    h.prompt.answer = false;
    h.step.requestPermission();
    EXPECT_TRUE(h.runner.scripts.empty());
    EXPECT_EQ(h.log(), (QStringList{scriptPath, "Running permission script", "Error: User canceled.",
                                    "Error: User canceled."}));
    EXPECT_EQ(h.printed, std::vector<std::string>{"User canceled."});
    EXPECT_TRUE(h.failed());
    EXPECT_EQ(h.restarts + h.quits, 0);
}

TEST(PermissionStep, RunnerOutcomes) {
    struct Case {
        const char* name;
        PrivilegedOutcome outcome;
        QStringList tail;  // log after "Running permission script"
        bool failed;
        int restarts;
        int quits;
    };
    const Case cases[] = {
        {"script printed something", {"false:error", std::nullopt}, {"No error on AS", "scriptResult.stringValue"},
         true, 0, 0},
        {"authentication dismissed", {std::nullopt, "Request dismissed"},
         {"Error: Request dismissed", "Error: Request dismissed"}, true, 0, 0},
        {"true with an error", {"true", "odd"}, {"Error: odd", "Looks good: true"}, true, 0, 0},
        {"user said no", {"false:user", std::nullopt}, {"No error on AS", "Quitting app"}, false, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.runner.outcome = c.outcome;
        h.step.requestPermission();
        EXPECT_EQ(h.log().mid(2), c.tail);
        EXPECT_EQ(h.failed(), c.failed);
        EXPECT_EQ(h.restarts, c.restarts);
        EXPECT_EQ(h.quits, c.quits);
    }
}

TEST(PermissionStep, MissingScriptTakesTheFailurePath) {
    Harness h(std::nullopt);
    h.step.requestPermission();
    EXPECT_TRUE(h.failed());
    EXPECT_TRUE(h.prompt.questions.empty());
    EXPECT_EQ(h.log(), QStringList{"Error: the permission script BPF_Permission.sh is missing"});
}
