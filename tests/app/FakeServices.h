#pragma once

#include <httplib.h>

#include <QString>

#include <chrono>
#include <pthread.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Answer {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
    std::chrono::milliseconds delay{0};
    std::vector<std::pair<std::string, std::string>> headers = {};
};

// A real HTTP server on 127.0.0.1 for both services, answering what the test sets.
class FakeServices {
public:
    FakeServices() {
        // The handlers hold the answers themselves, not this object: a worker thread never reads a
        // test's stack.
        server_.Get(R"(/ip/([^/]+)/json)", [state = state_](const httplib::Request& request, httplib::Response& response) {
            state->record("ip " + request.matches[1].str() + " token=" + request.get_param_value("token"));
            state->recordQuery(request.target);
            reply(state->answer(&State::ip), response);
        });
        // Where the asking computer's own address stands.
        server_.Get("/ip/json", [state = state_](const httplib::Request& request, httplib::Response& response) {
            state->record("ip (own) token=" + request.get_param_value("token"));
            reply(state->answer(&State::ip), response);
        });
        server_.Get("/territory/api/index.php", [state = state_](const httplib::Request& request,
                                                                  httplib::Response& response) {
            state->record("territory maps=" + request.get_param_value("maps") +
                          " position=" + request.get_param_value("position") + " key=" + request.get_param_value("key"));
            state->recordQuery(request.target);
            reply(state->answer(&State::territory), response);
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~FakeServices() {
        server_.stop();
        thread_.join();
    }

    QString ipBase() const { return QStringLiteral("http://127.0.0.1:%1/ip/").arg(port_); }
    QString territoryBase() const { return QStringLiteral("http://127.0.0.1:%1/territory/").arg(port_); }

    void setIpAnswer(Answer answer) { state_->set(&State::ip, std::move(answer)); }
    void setTerritoryAnswer(Answer answer) { state_->set(&State::territory, std::move(answer)); }
    std::vector<std::string> requests() {
        std::lock_guard lock(state_->mutex);
        return state_->requests;
    }
    // The requests' paths and queries as sent, still percent-encoded.
    std::vector<std::string> targets() {
        std::lock_guard lock(state_->mutex);
        return state_->targets;
    }

private:
    // Initialised explicitly: ThreadSanitizer otherwise keeps the state of a mutex that once lived at the
    // same address (std::mutex's constructor does nothing it can see).
    class Mutex {
    public:
        Mutex() { pthread_mutex_init(&mutex_, nullptr); }
        ~Mutex() { pthread_mutex_destroy(&mutex_); }
        Mutex(const Mutex&) = delete;
        Mutex& operator=(const Mutex&) = delete;
        void lock() { pthread_mutex_lock(&mutex_); }
        void unlock() { pthread_mutex_unlock(&mutex_); }

    private:
        pthread_mutex_t mutex_;
    };

    struct State {
        Mutex mutex;
        Answer ip;
        Answer territory;
        std::vector<std::string> requests;
        std::vector<std::string> targets;

        Answer answer(Answer State::*which) {
            std::lock_guard lock(mutex);
            return this->*which;
        }
        void set(Answer State::*which, Answer value) {
            std::lock_guard lock(mutex);
            this->*which = std::move(value);
        }
        void record(std::string request) {
            std::lock_guard lock(mutex);
            requests.push_back(std::move(request));
        }
        void recordQuery(std::string target) {
            std::lock_guard lock(mutex);
            targets.push_back(std::move(target));
        }
    };

    static void reply(const Answer& answer, httplib::Response& response) {
        std::this_thread::sleep_for(answer.delay);
        response.status = answer.status;
        for (const auto& [name, value] : answer.headers) response.set_header(name, value);
        response.set_content(answer.body, answer.contentType);
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace
