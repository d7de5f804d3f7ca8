#include <ZuzizavAdiduDazorud/logging/LogHandler.h>
#include <ZuzizavAdiduDazorud/logging/Logger.h>
#include <ZuzizavAdiduDazorud/logging/LoggingSystem.h>
#include <ZuzizavAdiduDazorud/logging/StreamLogHandler.h>

#include <gtest/gtest.h>

using Logging::Logger;
using Level = Logger::Level;
using Value = Logger::MetadataValue;

TEST(LoggerLevel, OrderTextAndDecoding) {
    EXPECT_LT(Level::trace, Level::debug);
    EXPECT_LT(Level::error, Level::critical);
    std::vector<std::string> names;
    for (Level level : Logger::allLevels) names.emplace_back(Logging::toString(level));
    EXPECT_EQ(names, (std::vector<std::string>{"trace", "debug", "info", "notice", "warning", "error", "critical"}));
    for (Level level : Logger::allLevels) EXPECT_EQ(Logging::levelFromString(Logging::toString(level)), level);
    EXPECT_EQ(Logging::levelFromString("warning"), Level::warning);
    EXPECT_FALSE(Logging::levelFromString("warn"));
    EXPECT_FALSE(Logging::levelFromString("Warning"));
    EXPECT_FALSE(Logging::levelFromString(""));
}

TEST(MetadataValue, TextForms) {
    EXPECT_EQ(Value("plain").description(), "plain");
    EXPECT_EQ(Value::array({"a", "b"}).description(), "[\"a\", \"b\"]");
    EXPECT_EQ(Value(std::vector<Value>{}).description(), "[]");
    EXPECT_EQ(Value(Logger::Metadata{}).description(), "[:]");
    EXPECT_EQ(Value::dictionary({{"k", "v"}, {"n", Value::array({"x"})}}).description(),
              "[\"k\": \"v\", \"n\": \"[\\\"x\\\"]\"]");
}

TEST(MetadataValue, StringConvertibleIsAskedAtEachRendering) {
    int calls = 0;
    Value value = Value::stringConvertible([&] { return "call " + std::to_string(++calls); });
    EXPECT_EQ(value.description(), "call 1");
    EXPECT_EQ(value.description(), "call 2");
}

TEST(MetadataValue, Equality) {
    EXPECT_EQ(Value("a"), Value("a"));
    EXPECT_NE(Value("a"), Value::array({"a"}));  // same text, other case
    EXPECT_EQ(Value::array({"a", "b"}), Value::array({"a", "b"}));
    EXPECT_NE(Value::array({"a", "b"}), Value::array({"b", "a"}));
    EXPECT_EQ(Value::dictionary({{"k", "1"}}), Value::dictionary({{"k", "1"}}));
    EXPECT_NE(Value::dictionary({{"k", "1"}}), Value::dictionary({{"k", "2"}}));
    EXPECT_EQ(Value::stringConvertible([] { return "x"; }), Value::stringConvertible([] { return std::string("x"); }));
}

TEST(MetadataValueDeathTest, RepeatedKeyInLiteralStopsTheProgram) {
    EXPECT_DEATH(Logger::metadata({{"a", "1"}, {"a", "2"}}), "Duplicate values for key: 'a'");
    EXPECT_DEATH(Value::dictionary({{"b", "1"}, {"b", "1"}}), "Duplicate values for key: 'b'");
}

TEST(ModuleName, FileIdentifierAndPathRules) {
    EXPECT_EQ(Logging::moduleNameFromFileID("ZuzizavAdiduDazorud/Frame.swift"), "ZuzizavAdiduDazorud");
    EXPECT_EQ(Logging::moduleNameFromFileID("Frame.swift"), "n/a");
    EXPECT_EQ(Logging::moduleNameFromFilePath("/src/Sources/ZuzizavAdiduDazorud/EtherCapture.cpp"),
              "ZuzizavAdiduDazorud");
    EXPECT_EQ(Logging::moduleNameFromFilePath("logging/Logger.cpp"), "n/a");
    EXPECT_EQ(Logging::moduleNameFromFilePath("Logger.cpp"), "n/a");
}

namespace {

// Counts how often the emit path is reached.
class CountingHandler final : public Logging::LogHandler {
public:
    explicit CountingHandler(Level level, int* emitted) : level_(level), emitted_(emitted) {}
    std::unique_ptr<LogHandler> clone() const override { return std::make_unique<CountingHandler>(*this); }
    using LogHandler::log;
    void log(Level, const Logger::Message& message, const std::optional<Logger::Metadata>& metadata,
             std::string_view source, std::string_view, std::string_view, unsigned) override {
        ++*emitted_;
        lastMessage = message.value;
        lastSource = std::string(source);
        lastMetadata = metadata;
    }
    std::optional<Value> metadataItem(const std::string& key) const override {
        auto it = metadata_.find(key);
        return it == metadata_.end() ? std::nullopt : std::optional(it->second);
    }
    void setMetadataItem(const std::string& key, std::optional<Value> value) override {
        if (value) metadata_.insert_or_assign(key, *value); else metadata_.erase(key);
    }
    Logger::Metadata metadata() const override { return metadata_; }
    void setMetadata(Logger::Metadata metadata) override { metadata_ = std::move(metadata); }
    Level logLevel() const override { return level_; }
    void setLogLevel(Level level) override { level_ = level; }

    std::string lastMessage;
    std::string lastSource;
    std::optional<Logger::Metadata> lastMetadata;

private:
    Level level_;
    int* emitted_;
    Logger::Metadata metadata_;
};

}  // namespace

TEST(Logger, SuppressedEntryBuildsNeitherMessageNorMetadata) {
    int emitted = 0;
    Logger logger("test", [&](const std::string&) { return std::make_unique<CountingHandler>(Level::warning, &emitted); });
    int messagesBuilt = 0;
    int metadataBuilt = 0;
    auto message = [&] {
        ++messagesBuilt;
        return std::string("expensive");
    };
    auto metadata = [&] {
        ++metadataBuilt;
        return std::optional(Logger::metadata({{"k", "v"}}));
    };
    logger.debug(message, metadata, std::nullopt);
    logger.info(message);
    logger.log(Level::trace, message);
    EXPECT_EQ(messagesBuilt, 0);
    EXPECT_EQ(metadataBuilt, 0);
    EXPECT_EQ(emitted, 0);

    logger.warning(message, metadata, std::nullopt);
    logger.error(message);
    EXPECT_EQ(messagesBuilt, 2);
    EXPECT_EQ(metadataBuilt, 1);
    EXPECT_EQ(emitted, 2);
}

TEST(Logger, SourceDefaultsToTheModuleOfTheFilePath) {
    int emitted = 0;
    CountingHandler* handler = nullptr;
    Logger logger("test", [&](const std::string&) {
        auto h = std::make_unique<CountingHandler>(Level::trace, &emitted);
        handler = h.get();
        return h;
    });
    logger.info([] { return "hello"; }, Logging::LogSite{"/x/Sources/Mod/File.cpp", "f()", 3});
    EXPECT_EQ(handler->lastSource, "Mod");
    logger.info([] { return "hello"; }, [] { return std::optional<Logger::Metadata>(); }, "Given");
    EXPECT_EQ(handler->lastSource, "Given");
    EXPECT_EQ(handler->lastMessage, "hello");
}

TEST(Logger, CopiesDoNotShareHandlerChanges) {
    int emitted = 0;
    Logger original("test",
                    [&](const std::string&) { return std::make_unique<CountingHandler>(Level::info, &emitted); });
    original.setMetadataItem("shared", Value("before"));
    Logger copy = original;
    copy.setLogLevel(Level::error);
    copy.setMetadataItem("shared", Value("after"));
    copy.setMetadataItem("extra", Value("x"));
    EXPECT_EQ(original.logLevel(), Level::info);
    EXPECT_EQ(original.metadataItem("shared"), Value("before"));
    EXPECT_FALSE(original.metadataItem("extra"));
    EXPECT_EQ(copy.logLevel(), Level::error);
    EXPECT_EQ(copy.label(), "test");
}

TEST(LoggingSystemDeathTest, FactoryServesNewLoggersAndCanBeSetOnlyOnce) {
    // Each child process has its own logging system.
    EXPECT_EXIT(
        {
            Logging::LoggingSystem::setFactory([](const std::string&) {
                return std::make_unique<Logging::NoOpLogHandler>();
            });
            Logger logger("from-factory");
            bool ok = dynamic_cast<Logging::NoOpLogHandler*>(&logger.handler()) != nullptr;
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_DEATH(
        {
            Logging::LoggingSystem::setFactory(&Logging::StreamLogHandler::toStandardError);
            Logging::LoggingSystem::setFactory(&Logging::StreamLogHandler::toStandardError);
        },
        "logging system can only be initialized once per process");
}

TEST(LoggingSystem, DefaultFactoryWritesToStandardOutputAtInfo) {
    Logger logger("default");
    auto* handler = dynamic_cast<Logging::StreamLogHandler*>(&logger.handler());
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->logLevel(), Level::info);
    EXPECT_TRUE(handler->metadata().empty());
    EXPECT_EQ(handler->label(), "default");
}
