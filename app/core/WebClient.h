#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

namespace Tidemark {

// One GET, bounded: a hard deadline from sending to the last byte (not an inactivity timer), a limit on
// the body, and redirects followed only to https or to the request's own scheme, host and port.
// The completion runs on the client's thread, once: with the body when the server answered at all
// (whatever the status), otherwise with no body and a description of the failure.
class WebClient : public QObject {
    Q_OBJECT

public:
    using Completion = std::function<void(std::optional<QByteArray> body, QString errorDescription)>;

    static constexpr qint64 defaultBodyLimit = 1 << 20;  // far above any real answer
    static const QString timedOut;
    static const QString tooLarge;

    explicit WebClient(std::chrono::milliseconds deadline, QObject* parent = nullptr,
                       qint64 bodyLimit = defaultBodyLimit);

    void get(const QUrl& url, Completion completion);

    std::chrono::milliseconds deadline() const { return deadline_; }

    // The text is an absolute http or https address with a host.
    static std::optional<QUrl> validUrl(const QString& text);
    // Whether a redirect from `from` may be followed to `to`.
    static bool redirectAllowed(const QUrl& from, const QUrl& to);

private:
    QNetworkAccessManager manager_;
    std::chrono::milliseconds deadline_;
    qint64 bodyLimit_;
};

}  // namespace Tidemark
