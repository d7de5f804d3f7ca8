#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace Logging {

class LogHandler;

// Anything that can render itself as text; asked again at every rendering.
class CustomStringConvertible {
public:
    virtual ~CustomStringConvertible() = default;
    virtual std::string description() const = 0;
};

// Where an entry was logged from.
struct LogSite {
    std::string_view file;
    std::string_view function;
    unsigned line = 0;

    // The caller's place (compiler built-ins, which both g++ and clang provide).
    static constexpr LogSite current(const char* file = __builtin_FILE(), const char* function = __builtin_FUNCTION(),
                                     unsigned line = __builtin_LINE()) {
        return LogSite{file, function, line};
    }
};

class Logger {
public:
    enum class Level : std::uint8_t { trace, debug, info, notice, warning, error, critical };
    static constexpr std::array<Level, 7> allLevels{Level::trace,   Level::debug, Level::info,    Level::notice,
                                                    Level::warning, Level::error, Level::critical};

    struct Message {
        std::string value;

        Message() = default;
        Message(const char* text) : value(text) {}
        Message(std::string text) : value(std::move(text)) {}
        Message(std::string_view text) : value(text) {}

        const std::string& description() const { return value; }
        friend bool operator==(const Message&, const Message&) = default;
    };

    class MetadataValue;
    using Metadata = std::map<std::string, MetadataValue>;

    class MetadataValue {
    public:
        enum class Kind : std::uint8_t { string, stringConvertible, dictionary, array };

        MetadataValue(const char* text) : MetadataValue(std::string(text)) {}
        MetadataValue(std::string text);
        MetadataValue(std::shared_ptr<const CustomStringConvertible> value);
        MetadataValue(Metadata dictionary);
        MetadataValue(std::vector<MetadataValue> array);

        // A dictionary literal; a repeated key stops the program.
        static MetadataValue dictionary(std::initializer_list<std::pair<std::string, MetadataValue>> entries);
        static MetadataValue array(std::initializer_list<MetadataValue> elements);
        static MetadataValue stringConvertible(std::function<std::string()> describe);

        Kind kind() const { return kind_; }
        const std::string* asString() const;
        const Metadata* asDictionary() const;
        const std::vector<MetadataValue>* asArray() const;

        std::string description() const;

        friend bool operator==(const MetadataValue& lhs, const MetadataValue& rhs);

    private:
        Kind kind_;
        std::string string_;
        std::shared_ptr<const CustomStringConvertible> convertible_;
        std::shared_ptr<const Metadata> dictionary_;
        std::vector<MetadataValue> array_;
    };

    // A metadata dictionary literal; a repeated key stops the program.
    static Metadata metadata(std::initializer_list<std::pair<std::string, MetadataValue>> entries);

    using HandlerFactory = std::function<std::unique_ptr<LogHandler>(const std::string& label)>;

    // Handler made by the process-wide factory, under its reader lock.
    explicit Logger(std::string label);
    // Handler made by the given function; no lock.
    Logger(std::string label, const HandlerFactory& makeHandler);

    Logger(const Logger& other);
    Logger& operator=(const Logger& other);
    Logger(Logger&&) noexcept;
    Logger& operator=(Logger&&) noexcept;
    ~Logger();

    const std::string& label() const { return label_; }
    LogHandler& handler() { return *handler_; }
    const LogHandler& handler() const { return *handler_; }

    Level logLevel() const;
    void setLogLevel(Level level);
    std::optional<MetadataValue> metadataItem(const std::string& key) const;
    void setMetadataItem(const std::string& key, std::optional<MetadataValue> value);

    bool isEnabled(Level level) const { return logLevel() <= level; }

    // Emits an entry; message, metadata and source are only produced when the level passes.
    template <typename MessageFn, typename MetadataFn>
        requires std::is_invocable_v<MessageFn> && std::is_invocable_v<MetadataFn>
    void log(Level level, MessageFn&& message, MetadataFn&& metadata, std::optional<std::string_view> source,
             LogSite site = LogSite::current()) const {
        if (!isEnabled(level)) return;
        std::optional<Metadata> md = std::forward<MetadataFn>(metadata)();
        emitEntry(level, Message(std::forward<MessageFn>(message)()), md, source, site);
    }

    template <typename MessageFn>
        requires std::is_invocable_v<MessageFn>
    void log(Level level, MessageFn&& message, LogSite site = LogSite::current()) const {
        if (!isEnabled(level)) return;
        emitEntry(level, Message(std::forward<MessageFn>(message)()), std::nullopt, std::nullopt, site);
    }

#define LOGGING_LEVEL_CONVENIENCE(name)                                                           \
    template <typename MessageFn>                                                                 \
        requires std::is_invocable_v<MessageFn>                                                   \
    void name(MessageFn&& message, LogSite site = LogSite::current()) const {                     \
        log(Level::name, std::forward<MessageFn>(message), site);                                 \
    }                                                                                             \
    template <typename MessageFn, typename MetadataFn>                                            \
        requires std::is_invocable_v<MessageFn> && std::is_invocable_v<MetadataFn>                \
    void name(MessageFn&& message, MetadataFn&& metadata, std::optional<std::string_view> source, \
              LogSite site = LogSite::current()) const {                                          \
        log(Level::name, std::forward<MessageFn>(message), std::forward<MetadataFn>(metadata),    \
            source, site);                                                                        \
    }
    LOGGING_LEVEL_CONVENIENCE(trace)
    LOGGING_LEVEL_CONVENIENCE(debug)
    LOGGING_LEVEL_CONVENIENCE(info)
    LOGGING_LEVEL_CONVENIENCE(notice)
    LOGGING_LEVEL_CONVENIENCE(warning)
    LOGGING_LEVEL_CONVENIENCE(error)
    LOGGING_LEVEL_CONVENIENCE(critical)
#undef LOGGING_LEVEL_CONVENIENCE

private:
    void emitEntry(Level level, const Message& message, const std::optional<Metadata>& metadata,
              std::optional<std::string_view> source, const LogSite& site) const;

    std::unique_ptr<LogHandler> handler_;
    std::string label_;
};

std::string_view toString(Logger::Level level);
// The level named by text; none for a text that names no level.
std::optional<Logger::Level> levelFromString(std::string_view text);

// Module name from a file identifier "Module/File": the text before the first "/", else "n/a".
std::string moduleNameFromFileID(std::string_view fileID);
// Module name from a file path: the directory that holds the file, else "n/a".
std::string moduleNameFromFilePath(std::string_view filePath);

// Stops the program after writing the reason to standard error.
[[noreturn]] void fatalError(std::string_view reason);

}  // namespace Logging
