#include <ZuzizavAdiduDazorud/logging/LogHandler.h>

#include <algorithm>

namespace Logging {

MultiplexLogHandler::MultiplexLogHandler(std::vector<std::unique_ptr<LogHandler>> handlers)
    : handlers_(std::move(handlers)), effectiveLogLevel_(Logger::Level::trace) {
    if (!handlers_.empty()) {
        effectiveLogLevel_ = (*std::min_element(handlers_.begin(), handlers_.end(), [](const auto& a, const auto& b) {
                                 return a->logLevel() < b->logLevel();
                             }))->logLevel();
    }
}

MultiplexLogHandler::MultiplexLogHandler(const MultiplexLogHandler& other)
    : effectiveLogLevel_(other.effectiveLogLevel_) {
    handlers_.reserve(other.handlers_.size());
    for (const auto& handler : other.handlers_) handlers_.push_back(handler->clone());
}

std::unique_ptr<LogHandler> MultiplexLogHandler::clone() const { return std::make_unique<MultiplexLogHandler>(*this); }

void MultiplexLogHandler::log(Logger::Level level, const Logger::Message& message,
                              const std::optional<Logger::Metadata>& metadata, std::string_view source,
                              std::string_view file, std::string_view function, unsigned line) {
    for (auto& handler : handlers_) {
        if (level >= handler->logLevel()) handler->log(level, message, metadata, source, file, function, line);
    }
}

std::optional<Logger::MetadataValue> MultiplexLogHandler::metadataItem(const std::string& key) const {
    for (const auto& handler : handlers_) {
        if (auto value = handler->metadataItem(key)) return value;
    }
    return std::nullopt;
}

void MultiplexLogHandler::setMetadataItem(const std::string& key, std::optional<Logger::MetadataValue> value) {
    for (auto& handler : handlers_) handler->setMetadataItem(key, value);
}

Logger::Metadata MultiplexLogHandler::metadata() const {
    Logger::Metadata merged;
    // emplace keeps the value already present: the earliest handler wins.
    for (const auto& handler : handlers_) {
        for (auto& [key, value] : handler->metadata()) merged.emplace(key, value);
    }
    return merged;
}

void MultiplexLogHandler::setMetadata(Logger::Metadata metadata) {
    for (auto& handler : handlers_) handler->setMetadata(metadata);
}

void MultiplexLogHandler::setLogLevel(Logger::Level level) {
    for (auto& handler : handlers_) handler->setLogLevel(level);
    effectiveLogLevel_ = level;
}

}  // namespace Logging
