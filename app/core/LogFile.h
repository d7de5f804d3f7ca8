#pragma once

#include <QString>

namespace Tidemark {

inline const QString saveLogTitle = QStringLiteral("Please save your error log to send to the developer");
inline const QString saveLogFileName = QStringLiteral("Tidemark Error Log.txt");
inline const QString saveLogFailed = QStringLiteral("Sorry, unable to save log file.");

// Writes the text as UTF-8, replacing the file as a whole or not at all; on failure, says why in `error`.
bool writeLogFile(const QString& path, const QString& text, QString* error = nullptr);

}  // namespace Tidemark
