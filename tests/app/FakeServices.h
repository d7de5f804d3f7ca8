#pragma once

#include <httplib.h>

#include <QString>

#include <chrono>
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
};

// A real HTTP server on 127.0.0.1 for both services, answering what the test sets.
class FakeServices {
public:
    FakeServices() {
        server_.Get(R"(/ip/([^/]+)/json)", [this](const httplib::Request& request, httplib::Response& response) {
            record("ip " + request.matches[1].str() + " token=" + request.get_param_value("token"));
            reply(ipAnswer(), response);
        });
        server_.Get("/territory/api/index.php", [this](const httplib::Request& request, httplib::Response& response) {
            record("territory maps=" + request.get_param_value("maps") +
                   " position=" + request.get_param_value("position"));
            reply(territoryAnswer(), response);
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

    void setIpAnswer(Answer answer) {
        std::lock_guard lock(mutex_);
        ip_ = std::move(answer);
    }
    void setTerritoryAnswer(Answer answer) {
        std::lock_guard lock(mutex_);
        territory_ = std::move(answer);
    }
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    Answer ipAnswer() {
        std::lock_guard lock(mutex_);
        return ip_;
    }
    Answer territoryAnswer() {
        std::lock_guard lock(mutex_);
        return territory_;
    }
    void record(std::string request) {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(request));
    }
    static void reply(const Answer& answer, httplib::Response& response) {
        std::this_thread::sleep_for(answer.delay);
        response.status = answer.status;
        response.set_content(answer.body, answer.contentType);
    }

    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    Answer ip_;
    Answer territory_;
    std::vector<std::string> requests_;
};

}  // namespace
