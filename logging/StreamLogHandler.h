#pragma once

#include <ZuzizavAdiduDazorud/logging/LogHandler.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace Logging {

// Receives whole lines of text.
class TextOutputStream {
public:
    virtual ~TextOutputStream() = default;
    virtual void write(std::string_view text) = 0;
};

// Writes to a standard-I/O stream, holding the stream's lock for the write and flush.
class StdioOutputStream final : public TextOutputStream {
public:
    enum class FlushMode { undefined, always };

    StdioOutputStream(std::FILE* file, FlushMode flushMode) : file_(file), flushMode_(flushMode) {}

    void write(std::string_view text) override;

    std::FILE* file() const { return file_; }
    FlushMode flushMode() const { return flushMode_; }

    // Shared instances, created on first use, flushing always.
    static const std::shared_ptr<StdioOutputStream>& standardOutput();
    static const std::shared_ptr<StdioOutputStream>& standardError();

private:
    std::FILE* file_;
    FlushMode flushMode_;
};

// One text line per entry: timestamp, level, label, " :", metadata, message.
class StreamLogHandler final : public LogHandler {
public:
    StreamLogHandler(std::string label, std::shared_ptr<TextOutputStream> stream);

    static std::unique_ptr<LogHandler> toStandardOutput(const std::string& label);
    static std::unique_ptr<LogHandler> toStandardError(const std::string& label);

    std::unique_ptr<LogHandler> clone() const override { return std::make_unique<StreamLogHandler>(*this); }
    using LogHandler::log;
    void log(Logger::Level level, const Logger::Message& message, const std::optional<Logger::Metadata>& metadata,
             std::string_view source, std::string_view file, std::string_view function, unsigned line) override;
    std::optional<Logger::MetadataValue> metadataItem(const std::string& key) const override;
    void setMetadataItem(const std::string& key, std::optional<Logger::MetadataValue> value) override;
    Logger::Metadata metadata() const override { return metadata_; }
    void setMetadata(Logger::Metadata metadata) override;
    Logger::Level logLevel() const override { return logLevel_; }
    void setLogLevel(Logger::Level level) override { logLevel_ = level; }

    const std::string& label() const { return label_; }
    const std::optional<std::string>& prettyMetadata() const { return prettyMetadata_; }

private:
    std::shared_ptr<TextOutputStream> stream_;
    std::string label_;
    Logger::Level logLevel_ = Logger::Level::info;
    std::optional<std::string> prettyMetadata_;
    Logger::Metadata metadata_;
};

// key=value pairs joined by blanks in dictionary order; none for an empty dictionary.
std::optional<std::string> renderMetadata(const Logger::Metadata& metadata);

// The current local time as "%Y-%m-%dT%H:%M:%S%z".
std::string logTimestamp();

}  // namespace Logging
