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

// One GET with a transfer time-out. The completion runs on the client's thread, once:
// with the body when the server answered at all (whatever the status), otherwise with
// no body and a description of the transport failure.
class WebClient : public QObject {
    Q_OBJECT

public:
    using Completion = std::function<void(std::optional<QByteArray> body, QString errorDescription)>;

    explicit WebClient(std::chrono::milliseconds timeout, QObject* parent = nullptr);

    void get(const QUrl& url, Completion completion);

    std::chrono::milliseconds timeout() const { return timeout_; }

    // The text is an absolute web address with a scheme and a host.
    static std::optional<QUrl> validUrl(const QString& text);

private:
    QNetworkAccessManager manager_;
    std::chrono::milliseconds timeout_;
};

}  // namespace Tidemark
