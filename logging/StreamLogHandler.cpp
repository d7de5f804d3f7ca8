#include <ZuzizavAdiduDazorud/logging/StreamLogHandler.h>

#include <ctime>

namespace Logging {

void StdioOutputStream::write(std::string_view text) {
    // fputs takes a zero-terminated text.
    std::string line(text);
    flockfile(file_);
    std::fputs(line.c_str(), file_);
    if (flushMode_ == FlushMode::always) std::fflush(file_);
    funlockfile(file_);
}

const std::shared_ptr<StdioOutputStream>& StdioOutputStream::standardOutput() {
    static const auto stream = std::make_shared<StdioOutputStream>(stdout, FlushMode::always);
    return stream;
}

const std::shared_ptr<StdioOutputStream>& StdioOutputStream::standardError() {
    static const auto stream = std::make_shared<StdioOutputStream>(stderr, FlushMode::always);
    return stream;
}

std::optional<std::string> renderMetadata(const Logger::Metadata& metadata) {
    if (metadata.empty()) return std::nullopt;
    std::string out;
    for (const auto& [key, value] : metadata) {
        if (!out.empty()) out.push_back(' ');
        out += key;
        out.push_back('=');
        out += value.description();
    }
    return out;
}

std::string logTimestamp() {
    char buffer[255] = {};
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S%z", &local);
    return buffer;
}

StreamLogHandler::StreamLogHandler(std::string label, std::shared_ptr<TextOutputStream> stream)
    : stream_(std::move(stream)), label_(std::move(label)) {}

std::unique_ptr<LogHandler> StreamLogHandler::toStandardOutput(const std::string& label) {
    return std::make_unique<StreamLogHandler>(label, StdioOutputStream::standardOutput());
}

std::unique_ptr<LogHandler> StreamLogHandler::toStandardError(const std::string& label) {
    return std::make_unique<StreamLogHandler>(label, StdioOutputStream::standardError());
}

void StreamLogHandler::log(Logger::Level level, const Logger::Message& message,
                           const std::optional<Logger::Metadata>& metadata, std::string_view, std::string_view,
                           std::string_view, unsigned) {
    std::optional<std::string> metadataText;
    if (metadata && !metadata->empty()) {
        Logger::Metadata merged = *metadata;
        // insert keeps the call's value where both have the key.
        merged.insert(metadata_.begin(), metadata_.end());
        metadataText = renderMetadata(merged);
    }
    const std::optional<std::string>& shown = metadataText ? metadataText : prettyMetadata_;

    std::string line = logTimestamp();
    line.push_back(' ');
    line += toString(level);
    line.push_back(' ');
    line += label_;
    line += " :";
    if (shown) {
        line.push_back(' ');
        line += *shown;
    }
    line.push_back(' ');
    line += message.value;
    line.push_back('\n');
    stream_->write(line);
}

std::optional<Logger::MetadataValue> StreamLogHandler::metadataItem(const std::string& key) const {
    auto it = metadata_.find(key);
    if (it == metadata_.end()) return std::nullopt;
    return it->second;
}

void StreamLogHandler::setMetadataItem(const std::string& key, std::optional<Logger::MetadataValue> value) {
    if (value) {
        metadata_.insert_or_assign(key, std::move(*value));
    } else {
        metadata_.erase(key);
    }
    prettyMetadata_ = renderMetadata(metadata_);
}

void StreamLogHandler::setMetadata(Logger::Metadata metadata) {
    metadata_ = std::move(metadata);
    prettyMetadata_ = renderMetadata(metadata_);
}

}  // namespace Logging
