#include "WebClient.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace Tidemark {

WebClient::WebClient(std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent), manager_(this), timeout_(timeout) {}

std::optional<QUrl> WebClient::validUrl(const QString& text) {
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) return std::nullopt;
    if (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")) return std::nullopt;
    return url;
}

void WebClient::get(const QUrl& url, Completion completion) {
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(timeout_.count()));
    QNetworkReply* reply = manager_.get(request);
    connect(reply, &QNetworkReply::finished, this, [reply, completion = std::move(completion)] {
        reply->deleteLater();
        const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        if (answered) {
            completion(reply->readAll(), QString());
            return;
        }
        QString description = reply->errorString();
        // The transfer time-out aborts the reply; say what happened rather than "Operation canceled".
        if (reply->error() == QNetworkReply::OperationCanceledError) {
            description = QStringLiteral("The request timed out");
        }
        if (description.isEmpty()) description = QStringLiteral("Unknown error");
        completion(std::nullopt, description);
    });
}

}  // namespace Tidemark
