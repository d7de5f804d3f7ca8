#pragma once

#include <ZuzizavAdiduDazorud/logging/Logger.h>

#include <optional>
#include <string_view>
#include <utility>

namespace ZuzizavAdiduDazorud {

inline constexpr std::string_view libraryLoggerLabel = "org.tidemark.ZuzizavAdiduDazorud";
inline constexpr std::string_view libraryModuleName = "ZuzizavAdiduDazorud";

// The library's one logger, created on first use from the logging system's factory.
const Logging::Logger& libraryLogger();

// Library call sites: the message is built only when the level passes.
template <typename MessageFn>
void logAt(Logging::Logger::Level level, MessageFn&& message, Logging::LogSite site) {
    libraryLogger().log(
        level, std::forward<MessageFn>(message), [] { return std::optional<Logging::Logger::Metadata>(); },
        libraryModuleName, site);
}

template <typename MessageFn>
void logError(MessageFn&& message, Logging::LogSite site = Logging::LogSite::current()) {
    logAt(Logging::Logger::Level::error, std::forward<MessageFn>(message), site);
}

template <typename MessageFn>
void logInfo(MessageFn&& message, Logging::LogSite site = Logging::LogSite::current()) {
    logAt(Logging::Logger::Level::info, std::forward<MessageFn>(message), site);
}

template <typename MessageFn>
void logWarning(MessageFn&& message, Logging::LogSite site = Logging::LogSite::current()) {
    logAt(Logging::Logger::Level::warning, std::forward<MessageFn>(message), site);
}

}  // namespace ZuzizavAdiduDazorud
