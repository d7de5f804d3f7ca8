#include "PermissionStep.h"

#include "CaptureBackend.h"

#include <QFileInfo>
#include <QProcess>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <QCoreApplication>

namespace Tidemark {

namespace {
QString userName() {
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_name) return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}
}  // namespace

QString PermissionStep::requestMessage() {
    return QCoreApplication::translate("Tidemark", "Tidemark requires your permission to capture Zoom data packets. Please follow the on-screen prompts.");
}
QString PermissionStep::failureMessage() {
    return QCoreApplication::translate("Tidemark", "There was an error getting permission.");
}

QString PermissionStep::question() {
    return QCoreApplication::translate("Tidemark", "To see where your meeting's media stream comes from, Tidemark's capture helper needs the right to capture "
        "network packets (one capability, not administrator access). Your administrator password may be asked for.\n\n"
        "Click OK to grant it, or Cancel to keep Tidemark open without capturing (Try Again asks again).");
}
QString PermissionStep::cancelled() {
    return QCoreApplication::translate("Tidemark", "You chose Cancel: Tidemark is not capturing. Choose Try Again to be asked again.");
}

QString PkexecRunner::notInstalled() {
    return QCoreApplication::translate("Tidemark", "pkexec is not installed: install the pkexec package.");
}
QString PkexecRunner::dismissed() {
    return QCoreApplication::translate("Tidemark", "The request was dismissed: the right was not granted.");
}
QString PkexecRunner::noAuthority() {
    return QCoreApplication::translate("Tidemark", "The system's authorisation service (polkit) is not running.");
}
QString PkexecRunner::notAuthorised() {
    return QCoreApplication::translate("Tidemark", "Not authorised: the password was not accepted, or this user may not grant the right.");
}

QString PkexecRunner::noAgent(const QString& scriptPath) {
    return QCoreApplication::translate("Tidemark",
                                       "No authentication agent is running in this session: run pkexec %1 in a terminal.")
        .arg(scriptPath);
}

QString PermissionStep::byHandText(const QString& helperPath, Audience audience) {
    if (helperPath.isEmpty()) {
        return text(QT_TRANSLATE_NOOP("Tidemark",
                                      "Tidemark's capture helper (tidemark-capture) is missing: install the tidemark "
                                      "package, or build it with cmake --build build --target tidemark-capture. Then "
                                      "choose Try Again."),
                    audience);
    }
    return text(QT_TRANSLATE_NOOP("Tidemark",
                                  "Tidemark's capture helper needs the capture right once. In a terminal, run: sudo "
                                  "setcap cap_net_raw+ep %1 and then choose Try Again."),
                audience)
        .arg(helperPath);
}

QString PermissionStep::groupText(const QString& group, const QString& userName, Audience audience) {
    return text(QT_TRANSLATE_NOOP("Tidemark",
                                  "Tidemark's capture helper may only be run by the members of the %1 group. Ask an "
                                  "administrator to add you to the %1 group: sudo adduser %2 %1 (then log in again), "
                                  "and choose Try Again."),
                audience)
        .arg(group, userName);
}

PermissionStep::PermissionStep(Dependencies dependencies) : d_(std::move(dependencies)) {
    if (!d_.printLine) {
        d_.printLine = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    }
}

void PermissionStep::requestPermission() {
    d_.state.setMainText(requestMessage());
    d_.state.setStatusColor(StatusColor::red);

    const GrantRoute route = d_.route ? d_.route() : GrantRoute{};
    if (route.kind != GrantRoute::Kind::script) {
        // A build tree: no root script runs on a path its user controls. A helper limited to a group: only
        // an administrator can help.
        auto say = [&](Audience audience) {
            return route.kind == GrantRoute::Kind::group ? groupText(route.group, userName(), audience)
                                                         : byHandText(route.helperPath, audience);
        };
        d_.state.appendLog(say(Audience::log));
        d_.state.setMainText(say(Audience::user));
        d_.state.setRetryError(true);
        return;
    }
    d_.state.appendLog(route.scriptPath);
    d_.state.appendLog(QStringLiteral("Running permission script"));

    if (!d_.prompt.askToGrant(question())) {
        decide(PrivilegedOutcome{std::nullopt, cancelled(), {}});
        return;
    }
    d_.runner.run(route.scriptPath, [this](PrivilegedOutcome outcome) { decide(outcome); });
}

void PermissionStep::decide(const PrivilegedOutcome& outcome) {
    if (!outcome.output.isEmpty()) d_.state.appendLog(QStringLiteral("Permission script output: ") + outcome.output);
    QString errorLine;
    if (outcome.error) {
        d_.printLine(outcome.error->toStdString());
        errorLine = QStringLiteral("Error: ") + *outcome.error;
        d_.state.appendLog(errorLine);
    } else {
        d_.state.appendLog(QStringLiteral("No error on AS"));
    }
    d_.prompt.activate();

    const QString result = outcome.result.value_or(QString());
    if (outcome.result && result == QLatin1String("true")) {
        if (!outcome.error) {
            // The helper has its capability now: back to waiting, and the next capture run simply works.
            d_.state.setMainText(d_.state.waiting());
            d_.state.setStatusColor(StatusColor::orange);
            d_.state.setRetryError(false);
            if (d_.restartCapture) d_.restartCapture();
        }
        d_.state.appendLog(QStringLiteral("Looks good: ") + result);
        if (outcome.error) fail(*outcome.error);
        return;
    }
    if (outcome.result && result == QLatin1String("false:error")) {
        d_.state.appendLog(QStringLiteral("scriptResult.stringValue"));
        fail(outcome.output.isEmpty() ? QString()
                                      : QCoreApplication::translate("Tidemark", "The permission script said: %1")
                                            .arg(outcome.output.left(300)));
        return;
    }
    if (outcome.error) {
        d_.state.appendLog(errorLine);
        fail(*outcome.error);
        return;
    }
    d_.state.appendLog(QStringLiteral("Quitting app"));
    if (d_.quit) d_.quit();
}

void PermissionStep::fail(const QString& what) {
    d_.state.setMainText(what.isEmpty() ? failureMessage() : failureMessage() + QLatin1Char(' ') + what);
    d_.state.setStatusColor(StatusColor::red);
    d_.state.setRetryError(true);
}

void PkexecRunner::run(const QString& scriptPath, std::function<void(PrivilegedOutcome)> done) {
    auto* process = new QProcess();
    process->setProcessChannelMode(QProcess::MergedChannels);
    if (terminal_) {
        process->setInputChannelMode(QProcess::ForwardedInputChannel);
        terminal_(true);
    }
    auto completion = [terminal = terminal_, done = std::move(done)](PrivilegedOutcome outcome) {
        if (terminal) terminal(false);
        done(std::move(outcome));
    };
    QObject::connect(process, &QProcess::errorOccurred, process, [process, completion](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        completion(PrivilegedOutcome{std::nullopt, notInstalled(), {}});
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::finished, process,
                     [process, completion, script = scriptPath](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         const QString output = QString::fromLocal8Bit(process->readAll().left(4096)).trimmed();
                         if (status != QProcess::NormalExit) {
                             completion({std::nullopt, QStringLiteral("pkexec ended abnormally"), output});
                         } else if (exitCode == 126) {
                             completion({std::nullopt, dismissed(), {}});
                         } else if (exitCode == 127) {
                             // pkexec's own words for why it could not ask.
                             QString error = notAuthorised();
                             if (output.contains(QLatin1String("Error getting authority"))) {
                                 error = noAuthority();
                             } else if (output.contains(QLatin1String("No authentication agent")) ||
                                        output.contains(QLatin1String("Error creating textual authentication agent"))) {
                                 error = noAgent(script);
                             }
                             completion({std::nullopt, error, {}});
                         } else if (exitCode == 0 && output.isEmpty()) {
                             completion({QStringLiteral("true"), std::nullopt, {}});
                         } else {
                             completion({QStringLiteral("false:error"), std::nullopt, output});
                         }
                     });
    process->start(program_, {scriptPath});
}

GrantRoute grantRoute(const QString& programDirectory) {
    const auto helper = findCaptureHelper(programDirectory.toStdString());
    if (!helper) return {GrantRoute::Kind::byHand, {}, {}, {}};
    const QString helperPath = QFileInfo(QString::fromStdString(*helper)).canonicalFilePath();
    // Root's, for a group this user is not in (mode 0754 or 4754): the administrator's choice.
    struct stat helperInfo {};
    if (stat(helperPath.toLocal8Bit().constData(), &helperInfo) == 0 && helperInfo.st_uid == 0 &&
        helperInfo.st_gid != 0 && access(helperPath.toLocal8Bit().constData(), X_OK) != 0) {
        const group* entry = getgrgid(helperInfo.st_gid);
        return {GrantRoute::Kind::group, {}, helperPath,
                entry && entry->gr_name ? QString::fromLocal8Bit(entry->gr_name) : QString::number(helperInfo.st_gid)};
    }
    const QString script = QFileInfo(helperPath).absolutePath() + QStringLiteral("/BPF_Permission.sh");
    auto rootOwned = [](const QString& path) {
        struct stat info {};
        return lstat(path.toLocal8Bit().constData(), &info) == 0 && info.st_uid == 0 && S_ISREG(info.st_mode);
    };
    if (rootOwned(helperPath) && rootOwned(script)) return {GrantRoute::Kind::script, script, helperPath, {}};
    return {GrantRoute::Kind::byHand, {}, helperPath, {}};
}

}  // namespace Tidemark
