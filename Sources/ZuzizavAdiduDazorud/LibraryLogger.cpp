#include <ZuzizavAdiduDazorud/LibraryLogger.h>

#include <string>

namespace ZuzizavAdiduDazorud {

const Logging::Logger& libraryLogger() {
    // Never destroyed: capture threads may still log while the process exits.
    static const Logging::Logger* logger = new Logging::Logger(std::string(libraryLoggerLabel));
    return *logger;
}

}  // namespace ZuzizavAdiduDazorud
