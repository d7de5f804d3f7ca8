#include <ZuzizavAdiduDazorud/logging/Logger.h>

#include <ZuzizavAdiduDazorud/logging/LogHandler.h>
#include <ZuzizavAdiduDazorud/logging/LoggingSystem.h>

#include <cstdio>
#include <cstdlib>

namespace Logging {

namespace {

// A text in double quotes with quote, backslash and control characters escaped.
void appendQuoted(std::string& out, const std::string& text) {
    out.push_back('"');
    for (char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out.push_back(c);
        }
    }
    out.push_back('"');
}

class FunctionConvertible final : public CustomStringConvertible {
public:
    explicit FunctionConvertible(std::function<std::string()> describe) : describe_(std::move(describe)) {}
    std::string description() const override { return describe_ ? describe_() : std::string(); }

private:
    std::function<std::string()> describe_;
};

Logger::Metadata metadataFromLiteral(std::initializer_list<std::pair<std::string, Logger::MetadataValue>> entries) {
    Logger::Metadata result;
    for (const auto& [key, value] : entries) {
        if (!result.emplace(key, value).second) {
            fatalError("Duplicate values for key: '" + key + "'");
        }
    }
    return result;
}

}  // namespace

void fatalError(std::string_view reason) {
    std::fprintf(stderr, "Fatal error: %.*s\n", static_cast<int>(reason.size()), reason.data());
    std::fflush(stderr);
    std::abort();
}

std::string_view toString(Logger::Level level) {
    switch (level) {
        case Logger::Level::trace: return "trace";
        case Logger::Level::debug: return "debug";
        case Logger::Level::info: return "info";
        case Logger::Level::notice: return "notice";
        case Logger::Level::warning: return "warning";
        case Logger::Level::error: return "error";
        case Logger::Level::critical: return "critical";
    }
    return "unknown";
}

std::optional<Logger::Level> levelFromString(std::string_view text) {
    for (Logger::Level level : Logger::allLevels) {
        if (toString(level) == text) return level;
    }
    return std::nullopt;
}

std::string moduleNameFromFileID(std::string_view fileID) {
    auto slash = fileID.find('/');
    if (slash == std::string_view::npos) return "n/a";
    return std::string(fileID.substr(0, slash));
}

std::string moduleNameFromFilePath(std::string_view filePath) {
    auto last = filePath.rfind('/');
    if (last == std::string_view::npos || last == 0) return "n/a";
    auto before = filePath.rfind('/', last - 1);
    if (before == std::string_view::npos) return "n/a";
    return std::string(filePath.substr(before + 1, last - before - 1));
}

// MARK: MetadataValue

Logger::MetadataValue::MetadataValue(std::string text) : kind_(Kind::string), string_(std::move(text)) {}

Logger::MetadataValue::MetadataValue(std::shared_ptr<const CustomStringConvertible> value)
    : kind_(Kind::stringConvertible), convertible_(std::move(value)) {}

Logger::MetadataValue::MetadataValue(Metadata dictionary)
    : kind_(Kind::dictionary), dictionary_(std::make_shared<const Metadata>(std::move(dictionary))) {}

Logger::MetadataValue::MetadataValue(std::vector<MetadataValue> array) : kind_(Kind::array), array_(std::move(array)) {}

Logger::MetadataValue Logger::MetadataValue::dictionary(
    std::initializer_list<std::pair<std::string, MetadataValue>> entries) {
    return MetadataValue(metadataFromLiteral(entries));
}

Logger::MetadataValue Logger::MetadataValue::array(std::initializer_list<MetadataValue> elements) {
    return MetadataValue(std::vector<MetadataValue>(elements));
}

Logger::MetadataValue Logger::MetadataValue::stringConvertible(std::function<std::string()> describe) {
    return MetadataValue(std::shared_ptr<const CustomStringConvertible>(
        std::make_shared<const FunctionConvertible>(std::move(describe))));
}

const std::string* Logger::MetadataValue::asString() const { return kind_ == Kind::string ? &string_ : nullptr; }

const Logger::Metadata* Logger::MetadataValue::asDictionary() const {
    return kind_ == Kind::dictionary ? dictionary_.get() : nullptr;
}

const std::vector<Logger::MetadataValue>* Logger::MetadataValue::asArray() const {
    return kind_ == Kind::array ? &array_ : nullptr;
}

std::string Logger::MetadataValue::description() const {
    switch (kind_) {
        case Kind::string: return string_;
        case Kind::stringConvertible: return convertible_ ? convertible_->description() : std::string();
        case Kind::dictionary: {
            if (dictionary_->empty()) return "[:]";
            std::string out = "[";
            bool first = true;
            for (const auto& [key, value] : *dictionary_) {
                if (!first) out += ", ";
                first = false;
                appendQuoted(out, key);
                out += ": ";
                appendQuoted(out, value.description());
            }
            out += "]";
            return out;
        }
        case Kind::array: {
            std::string out = "[";
            bool first = true;
            for (const auto& element : array_) {
                if (!first) out += ", ";
                first = false;
                appendQuoted(out, element.description());
            }
            out += "]";
            return out;
        }
    }
    return {};
}

bool operator==(const Logger::MetadataValue& lhs, const Logger::MetadataValue& rhs) {
    if (lhs.kind_ != rhs.kind_) return false;
    switch (lhs.kind_) {
        case Logger::MetadataValue::Kind::string: return lhs.string_ == rhs.string_;
        case Logger::MetadataValue::Kind::stringConvertible: return lhs.description() == rhs.description();
        case Logger::MetadataValue::Kind::dictionary: return *lhs.dictionary_ == *rhs.dictionary_;
        case Logger::MetadataValue::Kind::array: return lhs.array_ == rhs.array_;
    }
    return false;
}

Logger::Metadata Logger::metadata(std::initializer_list<std::pair<std::string, MetadataValue>> entries) {
    return metadataFromLiteral(entries);
}

// MARK: Logger

Logger::Logger(std::string label) : handler_(LoggingSystem::makeHandler(label)), label_(std::move(label)) {}

Logger::Logger(std::string label, const HandlerFactory& makeHandler)
    : handler_(makeHandler(label)), label_(std::move(label)) {
    if (!handler_) handler_ = std::make_unique<NoOpLogHandler>();
}

Logger::Logger(const Logger& other) : handler_(other.handler_->clone()), label_(other.label_) {}

Logger& Logger::operator=(const Logger& other) {
    if (this != &other) {
        handler_ = other.handler_->clone();
        label_ = other.label_;
    }
    return *this;
}

Logger::Logger(Logger&&) noexcept = default;
Logger& Logger::operator=(Logger&&) noexcept = default;
Logger::~Logger() = default;

Logger::Level Logger::logLevel() const { return handler_->logLevel(); }
void Logger::setLogLevel(Level level) { handler_->setLogLevel(level); }

std::optional<Logger::MetadataValue> Logger::metadataItem(const std::string& key) const {
    return handler_->metadataItem(key);
}

void Logger::setMetadataItem(const std::string& key, std::optional<MetadataValue> value) {
    handler_->setMetadataItem(key, std::move(value));
}

void Logger::emitEntry(Level level, const Message& message, const std::optional<Metadata>& metadata,
                  std::optional<std::string_view> source, const LogSite& site) const {
    if (source) {
        handler_->log(level, message, metadata, *source, site.file, site.function, site.line);
    } else {
        handler_->log(level, message, metadata, moduleNameFromFilePath(site.file), site.file, site.function,
                      site.line);
    }
}

}  // namespace Logging
