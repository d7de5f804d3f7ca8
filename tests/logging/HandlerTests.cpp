#include <ZuzizavAdiduDazorud/logging/Locks.h>
#include <ZuzizavAdiduDazorud/logging/LogHandler.h>
#include <ZuzizavAdiduDazorud/logging/Logger.h>
#include <ZuzizavAdiduDazorud/logging/StreamLogHandler.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

using Logging::Logger;
using Level = Logger::Level;
using Value = Logger::MetadataValue;

namespace {

class MemoryStream final : public Logging::TextOutputStream {
public:
    void write(std::string_view text) override {
        std::lock_guard lock(mutex_);
        writes.emplace_back(text);
    }
    std::vector<std::string> writes;

private:
    std::mutex mutex_;
};

struct StreamFixture {
    std::shared_ptr<MemoryStream> stream = std::make_shared<MemoryStream>();
    Logger logger{"lib", [this](const std::string& label) {
                      return std::make_unique<Logging::StreamLogHandler>(label, stream);
                  }};
};

// The text after the timestamp, which must have the expected form.
std::string afterTimestamp(const std::string& line) {
    static const std::regex timestamp(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}[+-]\d{4} )");
    std::smatch match;
    EXPECT_TRUE(std::regex_search(line, match, timestamp)) << line;
    return match.empty() ? line : line.substr(match.length(0));
}

}  // namespace

TEST(StreamLogHandler, LineLayoutAndLevelThreshold) {
    StreamFixture f;
    f.logger.info([] { return "kept"; });
    f.logger.debug([] { return "dropped"; });
    f.logger.setMetadataItem("a", Value("1"));
    f.logger.error([] { return "hello"; });
    ASSERT_EQ(f.stream->writes.size(), 2u);
    EXPECT_EQ(afterTimestamp(f.stream->writes[0]), "info lib : kept\n");
    EXPECT_EQ(afterTimestamp(f.stream->writes[1]), "error lib : a=1 hello\n");
}

TEST(StreamLogHandler, CallMetadataIsMergedOverHandlerMetadata) {
    StreamFixture f;
    f.logger.setMetadataItem("a", Value("1"));
    f.logger.setMetadataItem("c", Value("3"));
    f.logger.info([] { return "m"; }, [] { return std::optional(Logger::metadata({{"a", "2"}, {"b", "x"}})); },
                  std::nullopt);
    // Empty call metadata leaves the handler's own rendering.
    f.logger.info([] { return "m"; }, [] { return std::optional(Logger::Metadata{}); }, std::nullopt);
    ASSERT_EQ(f.stream->writes.size(), 2u);
    EXPECT_EQ(afterTimestamp(f.stream->writes[0]), "info lib : a=2 b=x c=3 m\n");
    EXPECT_EQ(afterTimestamp(f.stream->writes[1]), "info lib : a=1 c=3 m\n");
}

TEST(StreamLogHandler, PrettyMetadataFollowsEveryChange) {
    Logging::StreamLogHandler handler("lib", std::make_shared<MemoryStream>());
    EXPECT_FALSE(handler.prettyMetadata());
    handler.setMetadataItem("k", Value::array({"a", "b"}));
    EXPECT_EQ(handler.prettyMetadata(), "k=[\"a\", \"b\"]");
    handler.setMetadata(Logger::metadata({{"x", "1"}, {"y", "2"}}));
    EXPECT_EQ(handler.prettyMetadata(), "x=1 y=2");
    handler.setMetadataItem("x", std::nullopt);
    EXPECT_EQ(handler.prettyMetadata(), "y=2");
    handler.setMetadataItem("y", std::nullopt);
    EXPECT_FALSE(handler.prettyMetadata());
    EXPECT_FALSE(handler.metadataItem("y"));
}

TEST(MultiplexLogHandler, LevelsAndFanOut) {
    auto first = std::make_shared<MemoryStream>();
    auto second = std::make_shared<MemoryStream>();
    std::vector<std::unique_ptr<Logging::LogHandler>> handlers;
    handlers.push_back(std::make_unique<Logging::StreamLogHandler>("one", first));
    handlers.back()->setLogLevel(Level::debug);
    handlers.push_back(std::make_unique<Logging::StreamLogHandler>("two", second));
    handlers.back()->setLogLevel(Level::error);
    Logging::MultiplexLogHandler multiplex(std::move(handlers));

    EXPECT_EQ(multiplex.logLevel(), Level::debug);
    multiplex.log(Level::info, "to first only", std::nullopt, "src", "file", "fn", 1);
    multiplex.log(Level::error, "to both", std::nullopt, "src", "file", "fn", 2);
    EXPECT_EQ(first->writes.size(), 2u);
    ASSERT_EQ(second->writes.size(), 1u);
    EXPECT_EQ(afterTimestamp(second->writes[0]), "error two : to both\n");

    multiplex.setLogLevel(Level::notice);
    EXPECT_EQ(multiplex.logLevel(), Level::notice);
    for (const auto& handler : multiplex.handlers()) EXPECT_EQ(handler->logLevel(), Level::notice);
}

TEST(MultiplexLogHandler, MetadataEarliestHandlerWins) {
    std::vector<std::unique_ptr<Logging::LogHandler>> handlers;
    handlers.push_back(std::make_unique<Logging::StreamLogHandler>("one", std::make_shared<MemoryStream>()));
    handlers.back()->setMetadata(Logger::metadata({{"k", "first"}, {"only1", "1"}}));
    handlers.push_back(std::make_unique<Logging::StreamLogHandler>("two", std::make_shared<MemoryStream>()));
    handlers.back()->setMetadata(Logger::metadata({{"k", "second"}, {"only2", "2"}}));
    Logging::MultiplexLogHandler multiplex(std::move(handlers));

    EXPECT_EQ(multiplex.metadata(), Logger::metadata({{"k", "first"}, {"only1", "1"}, {"only2", "2"}}));
    EXPECT_EQ(multiplex.metadataItem("k"), Value("first"));
    EXPECT_EQ(multiplex.metadataItem("only2"), Value("2"));
    EXPECT_FALSE(multiplex.metadataItem("none"));

    multiplex.setMetadataItem("k", Value("all"));
    for (const auto& handler : multiplex.handlers()) EXPECT_EQ(handler->metadataItem("k"), Value("all"));
    multiplex.setMetadata(Logger::metadata({{"z", "1"}}));
    for (const auto& handler : multiplex.handlers()) EXPECT_EQ(handler->metadata(), Logger::metadata({{"z", "1"}}));
}

TEST(MultiplexLogHandler, EmptyListReportsTraceAndEmitsNothing) {
    Logging::MultiplexLogHandler multiplex({});
    EXPECT_EQ(multiplex.logLevel(), Level::trace);
    multiplex.log(Level::critical, "nowhere", std::nullopt, "src", "file", "fn", 1);
    EXPECT_TRUE(multiplex.metadata().empty());
}

TEST(MultiplexLogHandler, CopiesAreIndependent) {
    std::vector<std::unique_ptr<Logging::LogHandler>> handlers;
    handlers.push_back(std::make_unique<Logging::StreamLogHandler>("one", std::make_shared<MemoryStream>()));
    Logger original("m", [&](const std::string&) {
        return std::make_unique<Logging::MultiplexLogHandler>(std::move(handlers));
    });
    Logger copy = original;
    copy.setLogLevel(Level::critical);
    EXPECT_EQ(original.logLevel(), Level::info);
}

TEST(NoOpLogHandler, ReadsCriticalAndIgnoresWrites) {
    Logging::NoOpLogHandler handler;
    handler.setLogLevel(Level::trace);
    handler.setMetadataItem("k", Value("v"));
    handler.setMetadata(Logger::metadata({{"a", "b"}}));
    EXPECT_EQ(handler.logLevel(), Level::critical);
    EXPECT_FALSE(handler.metadataItem("k"));
    EXPECT_TRUE(handler.metadata().empty());
}

TEST(StdioOutputStream, LinesFromSeveralThreadsNeverInterleave) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    auto stream = std::make_shared<Logging::StdioOutputStream>(file, Logging::StdioOutputStream::FlushMode::always);
    constexpr int threads = 8;
    constexpr int linesPerThread = 400;
    const std::string filler(600, 'x');  // longer than one stdio buffer fill per write
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            Logger logger("thread" + std::to_string(t), [&](const std::string& label) {
                return std::make_unique<Logging::StreamLogHandler>(label, stream);
            });
            for (int i = 0; i < linesPerThread; ++i) {
                logger.info([&] { return std::to_string(t) + ":" + std::to_string(i) + ":" + filler; });
            }
        });
    }
    for (auto& worker : workers) worker.join();

    std::rewind(file);
    std::string contents;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents.append(buffer, n);
    std::fclose(file);

    std::istringstream lines(contents);
    std::string line;
    std::set<std::string> seen;
    const std::regex expected(R"(^\S+ info thread(\d) : (\d):(\d+):x{600}$)");
    while (std::getline(lines, line)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, expected)) << line.substr(0, 120);
        EXPECT_EQ(match[1], match[2]);
        seen.insert(std::string(match[2]) + ":" + std::string(match[3]));
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(threads * linesPerThread));
}

TEST(ReadWriteLock, WritersExcludeReadersAndEachOther) {
    Logging::ReadWriteLock lock;
    long long counter = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                lock.withWriterLock([&] { ++counter; });
                long long seen = lock.withReaderLock([&] { return counter; });
                EXPECT_GE(seen, 1);
            }
        });
    }
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(counter, 80000);

    Logging::Lock mutex;
    EXPECT_EQ(mutex.withLock([] { return 42; }), 42);
}
