// Frames decoded per second, and hex dump bytes per second.
#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>

#include "SampleFrames.h"

#include <benchmark/benchmark.h>

using namespace ZuzizavAdiduDazorud;

namespace {

// IPv4/UDP from port 8801, as the application captures it, and IPv6/TCP.
const char* const ipv4UdpFrame =
    "685b35890a04c869cd2c0d500800450000340000400040110000c0a8000aaabbccdd22611f41002000000102030405060708090a0b0c0d0e"
    "0f101112131415161718";
const char* const ipv6TcpFrame =
    "b07fb95d8ed2685b35890a0486dd600000000014064020010db800000000000000000000000120010db8000000000000000000000002c0"
    "0101bb000000010000000250100800abcd0000";

void decodeBytes(benchmark::State& state, const ByteSlice& bytes) {
    for (auto _ : state) {
        Frame frame(bytes, Timeval{1700000000, 0}, static_cast<std::int64_t>(bytes.count()), 1);
        benchmark::DoNotOptimize(frame.layer3.index());
    }
    state.SetItemsProcessed(state.iterations());
}

void decodeSample(benchmark::State& state, const Frame& (*sample)()) { decodeBytes(state, sample().data); }
BENCHMARK_CAPTURE(decodeSample, tcp, &TestSupport::sampleTcpFrame);
BENCHMARK_CAPTURE(decodeSample, mdns, &TestSupport::sampleMdnsFrame);
BENCHMARK_CAPTURE(decodeSample, icmp, &TestSupport::sampleIcmpFrame);
BENCHMARK_CAPTURE(decodeSample, icmp6, &TestSupport::sampleIcmp6Frame);

void decodeHex(benchmark::State& state, const char* text) { decodeBytes(state, *makeData(text)); }
BENCHMARK_CAPTURE(decodeHex, ipv4Udp, ipv4UdpFrame);
BENCHMARK_CAPTURE(decodeHex, ipv6Tcp, ipv6TcpFrame);

void decodeAndDescribe(benchmark::State& state) {
    ByteSlice bytes = *makeData(ipv4UdpFrame);
    for (auto _ : state) {
        Frame frame(bytes, Timeval{}, static_cast<std::int64_t>(bytes.count()), 1);
        benchmark::DoNotOptimize(frame.description());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(decodeAndDescribe);

void hexdump(benchmark::State& state) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(state.range(0)));
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    ByteSlice slice(std::move(bytes));
    for (auto _ : state) benchmark::DoNotOptimize(slice.hexdump());
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(hexdump)->Arg(98)->Arg(1514);

}  // namespace
