#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace Tidemark {

// What one GET gave: the status and body of the answer, or why there is none.
struct WebReply {
    enum class Failure {
        none,         // the service answered (whatever the status)
        unreachable,  // no connection: offline, no such host, refused
        timedOut,     // the deadline passed
        tooLarge,     // headers or body past their limits
        redirect,     // a redirect refused, looping, or too many
        transfer,     // the answer broke off or could not be decoded
    };
    Failure failure = Failure::none;
    int status = 0;      // the HTTP status of the answer, 0 when there was none
    QByteArray body;     // the whole body, when the service answered
    QString error;       // what went wrong, in a line for the log; empty when the service answered
    // How long the answer's Retry-After asks to wait (seconds, or an HTTP date), as libcurl reads it;
    // none when the answer has none.
    std::optional<std::chrono::seconds> retryAfter;

    bool answered() const { return failure == Failure::none; }
};

// GET requests on a thread of their own (libcurl), each bounded in every phase where the bytes are read:
// a hard deadline from connecting to the last byte (not an inactivity timer), a limit on the headers and
// on the (decoded) body, and at most five redirects, followed only to http(s) addresses that are https
// or on the request's own scheme, host and port. A transfer past a bound is stopped there and its
// connection closed; nothing else waits for it. Completions run on the client's thread, once each, in
// no particular order; none runs after the client is destroyed (destroying it ends every transfer).
class WebClient : public QObject {
    Q_OBJECT

public:
    using Completion = std::function<void(WebReply reply)>;

    static constexpr qint64 defaultBodyLimit = 1 << 20;  // far above any real answer
    static constexpr qint64 headerLimit = 64 << 10;
    static constexpr int maximumRedirects = 5;
    static const QString timedOut;
    static const QString tooLarge;
    static const QString headersTooLarge;

    explicit WebClient(std::chrono::milliseconds deadline, QObject* parent = nullptr,
                       qint64 bodyLimit = defaultBodyLimit);
    ~WebClient() override;

    void get(const QUrl& url, Completion completion);

    std::chrono::milliseconds deadline() const { return deadline_; }

    // The text is an absolute http or https address with a host.
    static std::optional<QUrl> validUrl(const QString& text);
    // Whether a redirect from `from` may be followed to `to`.
    static bool redirectAllowed(const QUrl& from, const QUrl& to);

private:
    struct Worker;
    std::chrono::milliseconds deadline_;
    qint64 bodyLimit_;
    std::unique_ptr<Worker> worker_;
};

}  // namespace Tidemark
