// Installs a logging factory that keeps the library's log lines for the tests to read.
#include "LogCapture.h"

#include <ZuzizavAdiduDazorud/logging/LoggingSystem.h>
#include <ZuzizavAdiduDazorud/logging/StreamLogHandler.h>

#include <gtest/gtest.h>

#include <mutex>

namespace TestSupport {

namespace {
class CapturingStream final : public Logging::TextOutputStream {
public:
    void write(std::string_view text) override {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(text);
    }
    std::vector<std::string> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(lines_, {});
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

std::shared_ptr<CapturingStream>& capturingStream() {
    static auto stream = std::make_shared<CapturingStream>();
    return stream;
}
}  // namespace

LogCapture::LogCapture() { capturingStream()->take(); }

std::vector<std::string> LogCapture::lines() const {
    auto taken = capturingStream()->take();
    lines_.insert(lines_.end(), taken.begin(), taken.end());
    return lines_;
}

std::vector<std::string> LogCapture::messages() const {
    std::vector<std::string> result;
    for (const auto& line : lines()) {
        // "<timestamp> <level> <label> : <message>\n"
        auto colon = line.find(" : ");
        std::string message = colon == std::string::npos ? line : line.substr(colon + 3);
        if (!message.empty() && message.back() == '\n') message.pop_back();
        auto space = line.find(' ');
        auto level = line.substr(space + 1, line.find(' ', space + 1) - space - 1);
        result.push_back(level + ": " + message);
    }
    return result;
}

}  // namespace TestSupport

int main(int argc, char** argv) {
    Logging::LoggingSystem::setFactory([](const std::string& label) {
        return std::make_unique<Logging::StreamLogHandler>(label, TestSupport::capturingStream());
    });
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
