#include "PermissionStep.h"

#include "StandardOutput.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>


namespace Tidemark {

const QString PermissionStep::requestMessage = QStringLiteral(
    "Tidemark requires your permission to capture Zoom data packets. Please follow the on-screen prompts.");
const QString PermissionStep::failureMessage = QStringLiteral("There was an error getting permission.");

QString PermissionStep::question(const QString& userName) {
    return QStringLiteral("In order to access the IP address of the data coming into your computer, you'll need to "
                          "grant administrator access to the user ") +
           userName + QStringLiteral(". Click OK to continue, or Cancel to quit.");
}

PermissionStep::PermissionStep(Dependencies dependencies) : d_(std::move(dependencies)) {
    if (!d_.printLine) d_.printLine = printStandardOutputLine;
}

void PermissionStep::requestPermission() {
    d_.state.setMainText(requestMessage);
    d_.state.setStatusColor(StatusColor::red);

    std::optional<QString> script = d_.findScript ? d_.findScript() : std::nullopt;
    if (!script) {
        d_.state.appendLog(QStringLiteral("Error: the permission script BPF_Permission.sh is missing"));
        fail();
        return;
    }
    // The path goes to the runner as one argument, not through a shell: blanks need no escaping.
    d_.state.appendLog(*script);
    d_.state.appendLog(QStringLiteral("Running permission script"));

    if (!d_.prompt.askToGrant(question(d_.userName ? d_.userName() : currentUserName()))) {
        decide(PrivilegedOutcome{std::nullopt, QStringLiteral("User canceled.")});
        return;
    }
    d_.runner.run(*script, [this](PrivilegedOutcome outcome) { decide(outcome); });
}

void PermissionStep::decide(const PrivilegedOutcome& outcome) {
    QString errorLine;
    if (outcome.error) {
        const std::string text = outcome.error->toStdString();
        d_.printLine(text);
        errorLine = QStringLiteral("Error: ") + *outcome.error;
        d_.state.appendLog(errorLine);
    } else {
        d_.state.appendLog(QStringLiteral("No error on AS"));
    }
    d_.prompt.activate();

    const QString result = outcome.result.value_or(QString());
    if (outcome.result && result == QLatin1String("true")) {
        d_.state.appendLog(QStringLiteral("Looks good: ") + result);
        if (outcome.error) {
            fail();
            return;
        }
        if (d_.restartWithRights) d_.restartWithRights();
        return;
    }
    if (outcome.result && result == QLatin1String("false:error")) {
        d_.state.appendLog(QStringLiteral("scriptResult.stringValue"));
        fail();
        return;
    }
    if (outcome.error) {
        d_.state.appendLog(errorLine);
        fail();
        return;
    }
    d_.state.appendLog(QStringLiteral("Quitting app"));
    if (d_.quit) d_.quit();
}

void PermissionStep::fail() {
    d_.state.setMainText(failureMessage);
    d_.state.setStatusColor(StatusColor::red);
    d_.state.setRetryError(true);
}

void PkexecRunner::run(const QString& scriptPath, std::function<void(PrivilegedOutcome)> completion) {
    auto* process = new QProcess();
    process->setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(process, &QProcess::errorOccurred, process, [process, completion](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        completion(PrivilegedOutcome{std::nullopt, QStringLiteral("pkexec could not be started: ") +
                                                        process->errorString()});
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::finished, process,
                     [process, completion](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         const QString output = QString::fromLocal8Bit(process->readAll()).trimmed();
                         if (status != QProcess::NormalExit) {
                             completion({std::nullopt, QStringLiteral("pkexec ended abnormally")});
                         } else if (exitCode == 126) {
                             completion({std::nullopt, QStringLiteral("The request for administrator rights was "
                                                                      "dismissed or not authorized.")});
                         } else if (exitCode == 127) {
                             completion({std::nullopt, QStringLiteral("The administrator authentication failed.")});
                         } else if (output.isEmpty() && exitCode == 0) {
                             completion({QStringLiteral("true"), std::nullopt});
                         } else {
                             completion({QStringLiteral("false:error"), std::nullopt});
                         }
                     });
    process->start(QStringLiteral("pkexec"), {scriptPath, target_});
}

std::optional<QString> findPermissionScript() {
    const QString dir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        dir + QStringLiteral("/BPF_Permission.sh"),
        QDir::cleanPath(dir + QStringLiteral("/../share/tidemark/BPF_Permission.sh")),
    };
    for (const QString& path : candidates) {
        QFileInfo info(path);
        if (info.isFile() && info.isExecutable()) return info.absoluteFilePath();
    }
    return std::nullopt;
}

QString currentUserName() {
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_name) return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

}  // namespace Tidemark
