#include "LogFile.h"

#include <QSaveFile>

namespace Tidemark {

bool writeLogFile(const QString& path, const QString& text, QString* error) {
    QSaveFile file(path);
    auto failed = [&] {
        if (error) *error = file.errorString();
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly)) return failed();
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) return failed();
    if (!file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace Tidemark
