// Cost of a suppressed entry against an emitted one.
#include <ZuzizavAdiduDazorud/logging/Logger.h>
#include <ZuzizavAdiduDazorud/logging/StreamLogHandler.h>

#include <benchmark/benchmark.h>

namespace {

class DiscardingStream final : public Logging::TextOutputStream {
public:
    void write(std::string_view text) override { benchmark::DoNotOptimize(text.data()); }
};

Logging::Logger makeLogger() {
    auto stream = std::make_shared<DiscardingStream>();
    Logging::Logger logger("bench", [&](const std::string& label) {
        return std::make_unique<Logging::StreamLogHandler>(label, stream);
    });
    logger.setMetadataItem("session", Logging::Logger::MetadataValue("7"));
    return logger;
}

void suppressedEntry(benchmark::State& state) {
    Logging::Logger logger = makeLogger();
    int value = 42;
    for (auto _ : state) {
        logger.debug([&] { return "IPv4: Invalid ihl " + std::to_string(value) + " detected"; });
    }
}
BENCHMARK(suppressedEntry);

void emittedEntry(benchmark::State& state) {
    Logging::Logger logger = makeLogger();
    int value = 42;
    for (auto _ : state) {
        logger.error([&] { return "IPv4: Invalid ihl " + std::to_string(value) + " detected"; });
    }
}
BENCHMARK(emittedEntry);

void emittedEntryWithCallMetadata(benchmark::State& state) {
    Logging::Logger logger = makeLogger();
    for (auto _ : state) {
        logger.error([] { return "message"; },
                     [] { return std::optional(Logging::Logger::metadata({{"frame", "12"}})); }, std::nullopt);
    }
}
BENCHMARK(emittedEntryWithCallMetadata);

}  // namespace
