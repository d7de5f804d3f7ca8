#include "Redaction.h"

#include <QRegularExpression>

namespace Tidemark {

QString redactKeys(QString text, const ServiceKeys& keys) {
    for (const QString& key : {keys.territoryKey, keys.ipInfoToken}) {
        if (key.size() >= 4) text.replace(key, QStringLiteral("\u2026"));
    }
    static const QRegularExpression parameter(QStringLiteral(R"(\b(key|token)=[^&\s"'<>]+)"));
    return text.replace(parameter, QStringLiteral("\\1=\u2026"));
}

}  // namespace Tidemark
