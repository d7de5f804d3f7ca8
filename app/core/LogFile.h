#pragma once

#include <QCoreApplication>
#include <QString>

namespace Tidemark {

// The save dialog's title and the log's default file name, in the user's language.
inline QString saveLogTitle() {
    return QCoreApplication::translate("Tidemark", "Please save your error log to send to the developer");
}
inline QString saveLogFileName() { return QCoreApplication::translate("Tidemark", "Tidemark Error Log.txt"); }
// A failed save: for the log in English, for the user in their language ("%1" is why).
inline const QString saveLogFailed = QStringLiteral("Sorry, unable to save log file.");
inline QString saveLogFailedText() { return QCoreApplication::translate("Tidemark", "Sorry, unable to save log file. %1"); }

// Writes the text as UTF-8, replacing the file as a whole or not at all; on failure, says why in `error`.
bool writeLogFile(const QString& path, const QString& text, QString* error = nullptr);

}  // namespace Tidemark
