#pragma once

#include <ZuzizavAdiduDazorud/logging/Logger.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Logging {

// Decides whether and where an entry goes. Handlers are held by value: a logger
// copies its handler with clone(), so changes made through one copy stay in it.
class LogHandler {
public:
    virtual ~LogHandler() = default;

    virtual std::unique_ptr<LogHandler> clone() const = 0;

    // Full form: emit one entry.
    virtual void log(Logger::Level level, const Logger::Message& message,
                     const std::optional<Logger::Metadata>& metadata, std::string_view source, std::string_view file,
                     std::string_view function, unsigned line) = 0;

    // Short form: the source is the module name taken from the file path.
    virtual void log(Logger::Level level, const Logger::Message& message,
                     const std::optional<Logger::Metadata>& metadata, std::string_view file, std::string_view function,
                     unsigned line) {
        log(level, message, metadata, moduleNameFromFilePath(file), file, function, line);
    }

    virtual std::optional<Logger::MetadataValue> metadataItem(const std::string& key) const = 0;
    // Writing none removes the key.
    virtual void setMetadataItem(const std::string& key, std::optional<Logger::MetadataValue> value) = 0;

    virtual Logger::Metadata metadata() const = 0;
    virtual void setMetadata(Logger::Metadata metadata) = 0;

    virtual Logger::Level logLevel() const = 0;
    virtual void setLogLevel(Logger::Level level) = 0;
};

// Emits nothing; reads as level critical with empty metadata, ignores writes.
class NoOpLogHandler final : public LogHandler {
public:
    std::unique_ptr<LogHandler> clone() const override { return std::make_unique<NoOpLogHandler>(); }
    using LogHandler::log;
    void log(Logger::Level, const Logger::Message&, const std::optional<Logger::Metadata>&, std::string_view,
             std::string_view, std::string_view, unsigned) override {}
    std::optional<Logger::MetadataValue> metadataItem(const std::string&) const override { return std::nullopt; }
    void setMetadataItem(const std::string&, std::optional<Logger::MetadataValue>) override {}
    Logger::Metadata metadata() const override { return {}; }
    void setMetadata(Logger::Metadata) override {}
    Logger::Level logLevel() const override { return Logger::Level::critical; }
    void setLogLevel(Logger::Level) override {}
};

// Forwards every entry to several handlers, each filtering by its own level.
class MultiplexLogHandler final : public LogHandler {
public:
    explicit MultiplexLogHandler(std::vector<std::unique_ptr<LogHandler>> handlers);
    MultiplexLogHandler(const MultiplexLogHandler& other);

    std::unique_ptr<LogHandler> clone() const override;
    using LogHandler::log;
    void log(Logger::Level level, const Logger::Message& message, const std::optional<Logger::Metadata>& metadata,
             std::string_view source, std::string_view file, std::string_view function, unsigned line) override;
    std::optional<Logger::MetadataValue> metadataItem(const std::string& key) const override;
    void setMetadataItem(const std::string& key, std::optional<Logger::MetadataValue> value) override;
    Logger::Metadata metadata() const override;
    void setMetadata(Logger::Metadata metadata) override;
    Logger::Level logLevel() const override { return effectiveLogLevel_; }
    void setLogLevel(Logger::Level level) override;

    const std::vector<std::unique_ptr<LogHandler>>& handlers() const { return handlers_; }

private:
    std::vector<std::unique_ptr<LogHandler>> handlers_;
    Logger::Level effectiveLogLevel_;
};

}  // namespace Logging
