#pragma once

#include "DisplayState.h"
#include "Translations.h"

#include <QString>

#include <functional>
#include <optional>

namespace Tidemark {

// Asks the user whether to grant the capture rights.
class PermissionPrompt {
public:
    virtual ~PermissionPrompt() = default;
    // True when the user chose OK.
    virtual bool askToGrant(const QString& question) = 0;
    // Brings the application to the front.
    virtual void activate() {}
};

// What running the privileged script gave: its result text, the runner's error, and the script's own
// output when it failed.
struct PrivilegedOutcome {
    std::optional<QString> result;
    std::optional<QString> error;
    QString output;
};

// Runs the shipped privileged script with administrator rights.
class PrivilegedRunner {
public:
    virtual ~PrivilegedRunner() = default;
    // `completion` runs on the main thread, once.
    virtual void run(const QString& scriptPath, std::function<void(PrivilegedOutcome)> completion) = 0;
};

// Runs the script through pkexec (the polkit policy gives the request its own message): "true" when it
// succeeds and prints nothing; "false:error" with the script's output when it fails or prints anything;
// an error that says what happened and what to do when pkexec is missing, is dismissed (126), finds no
// polkit daemon or no authentication agent, or is not authorised (127).
class PkexecRunner final : public PrivilegedRunner {
public:
    explicit PkexecRunner(QString program = QStringLiteral("pkexec")) : program_(std::move(program)) {}
    void run(const QString& scriptPath, std::function<void(PrivilegedOutcome)> completion) override;

    // In a terminal, pkexec asks for the password there: it gets this process's standard input, and
    // `running` is told when it starts and ends, so that nothing else reads the terminal meanwhile.
    void useTerminal(std::function<void(bool running)> running) { terminal_ = std::move(running); }

    static QString notInstalled();
    static QString dismissed();
    static QString noAuthority();
    static QString notAuthorised();
    static QString noAgent(const QString& scriptPath);

private:
    QString program_;
    std::function<void(bool running)> terminal_;
};

// How the capture right can be granted here: by the installed permission script (root's, beside the
// installed helper), only by hand, to a helper in a build tree (or to none, when it is missing), or by an
// administrator, who adds the user to the group the helper is limited to.
struct GrantRoute {
    enum class Kind { script, byHand, group } kind = Kind::byHand;
    QString scriptPath;  // script
    QString helperPath;  // byHand; empty when there is no helper
    QString group = {};  // group: the helper's group, which this user is not in
};

// Asks for capture rights after a denied capture: the installed script gives the capture helper its
// capability, after which the next capture run simply works. Offers "Try Again" when that fails, or
// when the right can only be granted by hand.
class PermissionStep {
public:
    static QString requestMessage();
    static QString failureMessage();
    static QString question();
    static QString cancelled();

    struct Dependencies {
        DisplayState& state;
        PermissionPrompt& prompt;
        PrivilegedRunner& runner;
        std::function<GrantRoute()> route;
        std::function<void()> restartCapture;  // runEtherCapture()
        std::function<void()> quit;
        std::function<void(const std::string& line)> printLine;  // the runner's error, standard error
    };

    explicit PermissionStep(Dependencies dependencies);

    void requestPermission();

    // The one command that grants a helper in a build tree its capability, and what to do after.
    static QString byHandText(const QString& helperPath, Audience audience = Audience::user);
    // What a user outside the helper's group is to ask for.
    static QString groupText(const QString& group, const QString& userName, Audience audience = Audience::user);

private:
    void decide(const PrivilegedOutcome& outcome);
    // The failure message, then what happened.
    void fail(const QString& what);

    Dependencies d_;
};

// The route for a program in `programDirectory`: the script route when the helper and the script
// beside it are root's (as the package installs them), else by hand.
GrantRoute grantRoute(const QString& programDirectory);

}  // namespace Tidemark
