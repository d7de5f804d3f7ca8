#include <ZuzizavAdiduDazorud/logging/LoggingSystem.h>

#include <ZuzizavAdiduDazorud/logging/Locks.h>
#include <ZuzizavAdiduDazorud/logging/StreamLogHandler.h>

namespace Logging {

namespace {
struct SystemState {
    ReadWriteLock lock;
    Logger::HandlerFactory factory = &StreamLogHandler::toStandardOutput;
    bool initialized = false;
};

// Created on first use and never destroyed, so loggers stay usable during exit.
SystemState& state() {
    static SystemState* s = new SystemState();
    return *s;
}
}  // namespace

void LoggingSystem::setFactory(Logger::HandlerFactory factory) {
    SystemState& s = state();
    s.lock.withWriterLock([&] {
        if (s.initialized) fatalError("logging system can only be initialized once per process.");
        s.factory = std::move(factory);
        s.initialized = true;
    });
}

std::unique_ptr<LogHandler> LoggingSystem::makeHandler(const std::string& label) {
    SystemState& s = state();
    auto handler = s.lock.withReaderLock([&] { return s.factory(label); });
    if (!handler) return std::make_unique<NoOpLogHandler>();
    return handler;
}

}  // namespace Logging
