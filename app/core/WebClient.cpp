#include "WebClient.h"

#include "BuildConfig.h"

#include <curl/curl.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Tidemark {

using Clock = std::chrono::steady_clock;

const QString WebClient::timedOut = QStringLiteral("The request timed out");
const QString WebClient::tooLarge = QStringLiteral("answer larger than 1 MiB");
const QString WebClient::headersTooLarge = QStringLiteral("answer headers larger than 64 KiB");

namespace {

QString refusedRedirect(const QUrl& target) {
    return QStringLiteral("refused a redirect to a %1 address").arg(target.scheme().left(32));
}

// The scheme, host and port of an address, for a line about where a redirect led.
QString origin(const QUrl& url) {
    return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
        .toString()
        .left(200);
}

bool startsWithCaseless(const char* text, std::size_t size, std::string_view prefix) {
    if (size < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

// One request, through all of its redirects. Owned by the worker thread once queued.
struct Transfer {
    QUrl original;
    QUrl current;
    std::vector<QUrl> visited;
    Clock::time_point deadline;
    qint64 bodyLimit = 0;
    WebClient::Completion completion;

    // The hop in progress.
    CURL* easy = nullptr;
    std::string address;
    std::string body;
    qint64 headerBytes = 0;
    bool headersOver = false;
    bool bodyOver = false;
    bool headersDone = false;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self) {
        auto& t = *static_cast<Transfer*>(self);
        const std::size_t n = size * count;
        t.headerBytes += static_cast<qint64>(n);
        if (t.headerBytes > WebClient::headerLimit) {
            t.headersOver = true;
            return 0;  // stops the transfer here
        }
        if (startsWithCaseless(data, n, "http/")) t.headersDone = false;  // a new answer (after 1xx)
        if (n <= 2 && (data[0] == '\r' || data[0] == '\n')) t.headersDone = true;
        return n;
    }

    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self) {
        auto& t = *static_cast<Transfer*>(self);
        const std::size_t n = size * count;
        if (static_cast<qint64>(t.body.size() + n) > t.bodyLimit) {
            t.bodyOver = true;
            return 0;
        }
        t.body.append(data, n);
        return n;
    }
};

WebReply::Failure failureOf(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT: return WebReply::Failure::unreachable;
        case CURLE_OPERATION_TIMEDOUT: return WebReply::Failure::timedOut;
        default: return WebReply::Failure::transfer;
    }
}

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

// The thread that runs every transfer of one client, and what it shares with the client's thread.
struct WebClient::Worker {
    explicit Worker(WebClient* client) : client(client), multi(curl_multi_init()) {
        thread = std::thread([this] { run(); });
    }
    ~Worker() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        curl_multi_wakeup(multi);
        thread.join();
        for (auto& [easy, transfer] : active) {
            curl_multi_remove_handle(multi, easy);
            curl_easy_cleanup(easy);
        }
        curl_multi_cleanup(multi);
    }

    void add(std::unique_ptr<Transfer> transfer) {
        {
            std::lock_guard lock(mutex);
            incoming.push_back(std::move(transfer));
        }
        curl_multi_wakeup(multi);
    }

    void run() {
        for (;;) {
            std::deque<std::unique_ptr<Transfer>> arrived;
            {
                std::lock_guard lock(mutex);
                if (stopping) return;
                arrived.swap(incoming);
            }
            for (auto& transfer : arrived) startHop(std::move(transfer));
            int running = 0;
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg == CURLMSG_DONE) finishHop(message->easy_handle, message->data.result);
            }
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
    }

    void startHop(std::unique_ptr<Transfer> transfer) {
        Transfer& t = *transfer;
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(t.deadline - Clock::now());
        if (remaining.count() <= 0) {
            deliver(t, WebReply{WebReply::Failure::timedOut, 0, {}, timedOut, {}});
            return;
        }
        t.visited.push_back(t.current);
        t.address = t.current.toEncoded().toStdString();
        t.body.clear();
        t.headerBytes = 0;
        t.headersDone = false;
        t.errorBuffer[0] = '\0';
        CURL* easy = curl_easy_init();
        if (!easy) {
            deliver(t, WebReply{WebReply::Failure::transfer, 0, {}, QStringLiteral("cannot start a request"), {}});
            return;
        }
        t.easy = easy;
        curl_easy_setopt(easy, CURLOPT_URL, t.address.c_str());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);  // each redirect is checked here
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(remaining.count()));
        curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(t.bodyLimit));
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");  // decoded bodies count against the limit
        curl_easy_setopt(easy, CURLOPT_USERAGENT, (std::string("Tidemark/") + BuildConfig::version).c_str());
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, t.errorBuffer);
        active.emplace(easy, std::move(transfer));
        curl_multi_add_handle(multi, easy);
    }

    void finishHop(CURL* easy, CURLcode code) {
        auto found = active.find(easy);
        if (found == active.end()) return;
        std::unique_ptr<Transfer> transfer = std::move(found->second);
        active.erase(found);
        Transfer& t = *transfer;
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        const char* location = nullptr;
        curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location);
        const QUrl target = location ? QUrl::fromEncoded(QByteArray(location)) : QUrl();
        // libcurl reads both forms of Retry-After (seconds, or an HTTP date) as seconds from now.
        curl_off_t retryAfter = 0;
        if (curl_easy_getinfo(easy, CURLINFO_RETRY_AFTER, &retryAfter) != CURLE_OK) retryAfter = 0;
        curl_multi_remove_handle(multi, easy);
        curl_easy_cleanup(easy);
        t.easy = nullptr;

        WebReply reply;
        reply.status = static_cast<int>(status);
        const QString detail =
            QString::fromUtf8(t.errorBuffer[0] ? t.errorBuffer : curl_easy_strerror(code)).left(200);
        if (t.headersOver || (code == CURLE_OUT_OF_MEMORY && !t.headersDone)) {
            // Also curl's own bound on one header line (100 KiB), which it reports as out of memory.
            reply.failure = WebReply::Failure::tooLarge;
            reply.error = headersTooLarge;
        } else if (t.bodyOver || code == CURLE_FILESIZE_EXCEEDED) {
            reply.failure = WebReply::Failure::tooLarge;
            reply.error = tooLarge;
        } else if (code == CURLE_OPERATION_TIMEDOUT) {
            reply.failure = WebReply::Failure::timedOut;
            reply.error = timedOut;
        } else if (code != CURLE_OK) {
            reply.failure = failureOf(code);
            reply.error = detail;
        } else if (status / 100 == 3 && location) {
            if (!target.isValid() || !redirectAllowed(t.original, target)) {
                reply.failure = WebReply::Failure::redirect;
                reply.error = refusedRedirect(target);
            } else if (std::find(t.visited.begin(), t.visited.end(), target) != t.visited.end()) {
                reply.failure = WebReply::Failure::redirect;
                reply.error = QStringLiteral("the service redirected in a loop");
            } else if (static_cast<int>(t.visited.size()) > maximumRedirects) {
                reply.failure = WebReply::Failure::redirect;
                reply.error = QStringLiteral("more than %1 redirects").arg(maximumRedirects);
            } else {
                t.current = target;
                startHop(std::move(transfer));
                return;
            }
        }
        if (reply.answered()) {
            reply.body = QByteArray::fromStdString(t.body);
            if (retryAfter > 0) reply.retryAfter = std::chrono::seconds(retryAfter);
        } else if (t.visited.size() > 1 && reply.failure != WebReply::Failure::redirect) {
            reply.error += QStringLiteral(" (after a redirect to %1)").arg(origin(t.current));
        }
        deliver(t, std::move(reply));
    }

    // Hands the reply to the client's thread.
    void deliver(Transfer& t, WebReply reply) {
        QMetaObject::invokeMethod(
            client, [completion = std::move(t.completion), reply = std::move(reply)] { completion(reply); },
            Qt::QueuedConnection);
    }

    WebClient* client;
    CURLM* multi;
    std::thread thread;
    std::mutex mutex;
    std::deque<std::unique_ptr<Transfer>> incoming;  // guarded by mutex
    bool stopping = false;                           // guarded by mutex
    std::map<CURL*, std::unique_ptr<Transfer>> active;  // the worker thread's alone
};

WebClient::WebClient(std::chrono::milliseconds deadline, QObject* parent, qint64 bodyLimit)
    : QObject(parent), deadline_(deadline), bodyLimit_(bodyLimit) {
    initialiseCurlOnce();
    worker_ = std::make_unique<Worker>(this);
}

WebClient::~WebClient() = default;

std::optional<QUrl> WebClient::validUrl(const QString& text) {
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) return std::nullopt;
    if (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")) return std::nullopt;
    return url;
}

bool WebClient::redirectAllowed(const QUrl& from, const QUrl& to) {
    if (to.host().isEmpty()) return false;
    if (to.scheme() == QLatin1String("https")) return true;
    return to.scheme() == from.scheme() && to.host() == from.host() && to.port() == from.port();
}

void WebClient::get(const QUrl& url, Completion completion) {
    auto transfer = std::make_unique<Transfer>();
    transfer->original = url;
    transfer->current = url;
    transfer->deadline = Clock::now() + deadline_;
    transfer->bodyLimit = bodyLimit_;
    transfer->completion = std::move(completion);
    worker_->add(std::move(transfer));
}

}  // namespace Tidemark
