#pragma once

#include <ZuzizavAdiduDazorud/logging/Logger.h>

namespace Logging {

// Process-wide factory of handlers for loggers created from a label.
class LoggingSystem {
public:
    // Replaces the factory; allowed once per process, a second call stops the program.
    static void setFactory(Logger::HandlerFactory factory);

    // A handler for the label, made by the current factory under the reader lock.
    static std::unique_ptr<LogHandler> makeHandler(const std::string& label);

    LoggingSystem() = delete;
};

}  // namespace Logging
