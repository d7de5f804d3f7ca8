#pragma once

#include "ServiceKeys.h"

#include <QString>

namespace Tidemark {

// Replaces every occurrence of the keys, and any "key=" or "token=" value, by an ellipsis: for log lines.
QString redactKeys(QString text, const ServiceKeys& keys);

}  // namespace Tidemark
