#include "Relaunch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryFile>

namespace Tidemark {

namespace {
constexpr const char* carriedLogVariable = "TIDEMARK_CARRIED_LOG";
}

bool relaunchWithLog(const QString& log) {
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/tidemark-log-XXXXXX.txt"));
    file.setAutoRemove(false);
    if (!file.open() || file.write(log.toUtf8()) < 0 || !file.flush()) return false;
    const QString path = file.fileName();
    file.close();

    QProcess process;
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments(QCoreApplication::arguments().mid(1));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(carriedLogVariable), path);
    process.setProcessEnvironment(environment);
    if (!process.startDetached()) {
        QFile::remove(path);
        return false;
    }
    QCoreApplication::quit();
    return true;
}

std::optional<QString> takeCarriedLog() {
    const QString path = qEnvironmentVariable(carriedLogVariable);
    if (path.isEmpty()) return std::nullopt;
    qunsetenv(carriedLogVariable);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QString log = QString::fromUtf8(file.readAll());
    file.close();
    file.remove();
    return log;
}

}  // namespace Tidemark
