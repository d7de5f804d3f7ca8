#pragma once

#include <QString>

#include <optional>

namespace Tidemark {

// Starts this program again with the same arguments, handing it the log text, and quits this one.
// False (and nothing quits) when the new process cannot be started.
bool relaunchWithLog(const QString& log);

// The log handed over by the process this one replaced; read once, then forgotten.
std::optional<QString> takeCarriedLog();

}  // namespace Tidemark
