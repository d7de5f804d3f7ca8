#pragma once

#include <ZuzizavAdiduDazorud/logging/LoggingSystem.h>
#include <ZuzizavAdiduDazorud/logging/StreamLogHandler.h>

// Log lines are built (so their code is fuzzed too) but go nowhere.
inline void quietLogging() {
    static const bool installed = [] {
        class Discard final : public Logging::TextOutputStream {
        public:
            void write(std::string_view) override {}
        };
        auto stream = std::make_shared<Discard>();
        Logging::LoggingSystem::setFactory([stream](const std::string& label) {
            auto handler = std::make_unique<Logging::StreamLogHandler>(label, stream);
            handler->setLogLevel(Logging::Logger::Level::trace);
            return handler;
        });
        return true;
    }();
    (void)installed;
}
