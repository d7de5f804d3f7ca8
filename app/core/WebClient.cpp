#include "WebClient.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace Tidemark {

namespace {
QString refusedRedirect(const QUrl& target) {
    return QStringLiteral("refused a redirect to a %1 address").arg(target.scheme().left(32));
}
}  // namespace

const QString WebClient::timedOut = QStringLiteral("The request timed out");
const QString WebClient::tooLarge = QStringLiteral("answer larger than 1 MiB");

WebClient::WebClient(std::chrono::milliseconds deadline, QObject* parent, qint64 bodyLimit)
    : QObject(parent), manager_(this), deadline_(deadline), bodyLimit_(bodyLimit) {}

std::optional<QUrl> WebClient::validUrl(const QString& text) {
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) return std::nullopt;
    if (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")) return std::nullopt;
    return url;
}

bool WebClient::redirectAllowed(const QUrl& from, const QUrl& to) {
    if (to.scheme() == QLatin1String("https")) return true;
    return to.scheme() == from.scheme() && to.host() == from.host() && to.port() == from.port();
}

void WebClient::get(const QUrl& url, Completion completion) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    QNetworkReply* reply = manager_.get(request);

    // What the reply has delivered so far, and why it was ended early, if it was.
    struct Transfer {
        QByteArray body;
        QString failure;
    };
    auto transfer = std::make_shared<Transfer>();
    auto stop = [reply, transfer](const QString& why) {
        if (transfer->failure.isEmpty()) transfer->failure = why;
        reply->abort();
    };

    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, [stop] { stop(timedOut); });
    deadline->start(deadline_);

    connect(reply, &QNetworkReply::redirected, reply, [reply, url, stop](const QUrl& target) {
        if (redirectAllowed(url, target)) {
            emit reply->redirectAllowed();
        } else {
            stop(refusedRedirect(target));
        }
    });
    const qint64 limit = bodyLimit_;
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, limit, stop] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limit) stop(tooLarge);
    });
    // Takes what has arrived, up to one byte past the limit (only what is there: read(n) sets aside n
    // bytes first, whatever arrived); false once the body is past the limit.
    auto take = [reply, transfer, limit] {
        transfer->body += reply->read(std::min(reply->bytesAvailable(), limit + 1 - transfer->body.size()));
        return transfer->body.size() <= limit;
    };
    // Read as it comes, so that Qt's own buffer never holds more than a chunk.
    connect(reply, &QNetworkReply::readyRead, reply, [transfer, take, stop] {
        if (!take()) {
            transfer->body.clear();
            stop(tooLarge);
        }
    });
    connect(reply, &QNetworkReply::finished, this, [reply, transfer, take, completion = std::move(completion)] {
        reply->deleteLater();
        if (!transfer->failure.isEmpty()) {
            completion(std::nullopt, transfer->failure);
            return;
        }
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.toInt() / 100 == 3 && reply->error() != QNetworkReply::NoError) {
            // A redirect Qt would not follow either (to another kind of address).
            const QUrl target = reply->url().resolved(QUrl(QString::fromUtf8(reply->rawHeader("Location"))));
            completion(std::nullopt, refusedRedirect(target));
            return;
        }
        const bool answered = status.isValid();
        if (answered && reply->error() != QNetworkReply::OperationCanceledError) {
            if (!take()) {
                completion(std::nullopt, tooLarge);
            } else {
                completion(std::move(transfer->body), QString());
            }
            return;
        }
        QString description = reply->errorString();
        if (description.isEmpty()) description = QStringLiteral("Unknown error");
        completion(std::nullopt, description);
    });
}

}  // namespace Tidemark
