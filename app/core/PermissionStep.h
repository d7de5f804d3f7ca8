#pragma once

#include "DisplayState.h"

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

// What running the privileged script gave: its result text, and the runner's error, if any.
struct PrivilegedOutcome {
    std::optional<QString> result;
    std::optional<QString> error;
};

// Runs the shipped privileged script with administrator rights.
class PrivilegedRunner {
public:
    virtual ~PrivilegedRunner() = default;
    // `completion` runs on the main thread, once.
    virtual void run(const QString& scriptPath, std::function<void(PrivilegedOutcome)> completion) = 0;
};

// Runs the script through pkexec: "true" when it succeeds and prints nothing, "false:error" when it
// prints anything, an error with no result when the authentication is dismissed or fails.
class PkexecRunner final : public PrivilegedRunner {
public:
    // `target` is the program that is to get the capture rights.
    explicit PkexecRunner(QString target) : target_(std::move(target)) {}
    void run(const QString& scriptPath, std::function<void(PrivilegedOutcome)> completion) override;

private:
    QString target_;
};

// Asks for capture rights after a denied capture, then restarts capture, offers "Try Again", or quits.
class PermissionStep {
public:
    static const QString requestMessage;
    static const QString failureMessage;

    struct Dependencies {
        DisplayState& state;
        PermissionPrompt& prompt;
        PrivilegedRunner& runner;
        std::function<std::optional<QString>()> findScript;  // path of BPF_Permission.sh
        std::function<QString()> userName;
        // After "true": rights on a program file take effect when it starts, so start again.
        std::function<void()> restartWithRights;
        std::function<void()> quit;
        std::function<void(const std::string& line)> printLine;  // standard output
    };

    explicit PermissionStep(Dependencies dependencies);

    void requestPermission();

    static QString question(const QString& userName);

private:
    void decide(const PrivilegedOutcome& outcome);
    void fail();

    Dependencies d_;
};

// The script shipped beside the program, or in the installed data folder.
std::optional<QString> findPermissionScript();
QString currentUserName();

}  // namespace Tidemark
