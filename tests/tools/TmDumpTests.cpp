#include "TmDump.h"

#include "Hex.h"
#include "Loopback.h"
#include "SampleFrames.h"
#include "Subprocess.h"

#include <ZuzizavAdiduDazorud/PcapFile.h>
#include <ZuzizavAdiduDazorud/PcapIO.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace ZuzizavAdiduDazorud;
using TestSupport::runProgram;

namespace {

struct Output {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* file = open_memstream(&buffer, &size);
    std::string text() {
        std::fflush(file);
        return std::string(buffer, size);
    }
    ~Output() {
        std::fclose(file);
        std::free(buffer);
    }
};

std::string temporaryPath(const std::string& name) {
    return "/tmp/tmdump-test-" + std::to_string(getpid()) + "-" + name;
}

void writeBytes(const std::string& path, const ByteSlice& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.bytes().data()), static_cast<std::streamsize>(bytes.count()));
}

TmDump::Options options(const std::vector<std::string>& arguments) {
    auto parsed = TmDump::parseArguments(arguments);
    EXPECT_TRUE(parsed.options) << parsed.error;
    return parsed.options.value_or(TmDump::Options{});
}

// The four sample frames, captured at 2023-11-14 22:13:20.123456 UTC and 1.5, 1.5 and 3600 s after.
std::vector<Frame> timedSamples() {
    std::vector<Frame> frames;
    const Frame* samples[] = {&TestSupport::sampleTcpFrame(), &TestSupport::sampleMdnsFrame(),
                              &TestSupport::sampleIcmpFrame(), &TestSupport::sampleIcmp6Frame()};
    const Timeval times[] = {{1700000000, 123456}, {1700000001, 623456}, {1700000003, 123456}, {1700003603, 123456}};
    for (int i = 0; i < 4; ++i) frames.emplace_back(samples[i]->data, times[i], samples[i]->originalLength, i + 1);
    return frames;
}

// A capture file of the timed samples, removed at the end of the test.
struct SampleFile {
    std::string path = temporaryPath("samples.pcap");
    SampleFile() { writeBytes(path, makePcapFile(timedSamples())); }
    ~SampleFile() { std::remove(path.c_str()); }
};

// Local time is UTC for these tests.
class TmDumpTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

TEST(TmDumpArguments, EachFlagAndTheUsualCombinations) {
    using TF = TmDump::TimeFormat;
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::function<void(const TmDump::Options&)> check;
    };
    const Case cases[] = {
        {"read", {"-r", "in.pcap"}, [](auto& o) { EXPECT_EQ(o.readFile, "in.pcap"); }},
        {"read stdin", {"-r", "-"}, [](auto& o) { EXPECT_EQ(o.readFile, "-"); }},
        {"interface", {"-i", "lo"}, [](auto& o) { EXPECT_EQ(o.interface, "lo"); }},
        {"count", {"-c", "10"}, [](auto& o) { EXPECT_EQ(o.count, 10); }},
        {"count past 2^31", {"-c", "3000000000"}, [](auto& o) { EXPECT_EQ(o.count, 3000000000LL); }},
        {"count past 2^32", {"-c", "8589934593"}, [](auto& o) { EXPECT_EQ(o.count, 8589934593LL); }},
        {"write", {"-w", "out.pcap"}, [](auto& o) { EXPECT_EQ(o.writeFile, "out.pcap"); }},
        {"write stdout", {"-w", "-"}, [](auto& o) { EXPECT_EQ(o.writeFile, "-"); }},
        {"snaplen", {"-s", "96"}, [](auto& o) { EXPECT_EQ(o.snaplen, 96); }},
        {"snaplen 0", {"-s", "0"}, [](auto& o) { EXPECT_EQ(o.snaplen, 262144); }},
        {"default time", {}, [](auto& o) { EXPECT_EQ(o.timeFormat, TF::timeOfDay); }},
        {"-t", {"-t"}, [](auto& o) { EXPECT_EQ(o.timeFormat, TF::none); }},
        {"-tt", {"-tt"}, [](auto& o) { EXPECT_EQ(o.timeFormat, TF::epoch); }},
        {"-ttt", {"-ttt"}, [](auto& o) { EXPECT_EQ(o.timeFormat, TF::sincePrevious); }},
        {"-tttt", {"-tttt"}, [](auto& o) { EXPECT_EQ(o.timeFormat, TF::dateAndTime); }},
        {"-t -t -t -t", {"-t", "-t", "-t", "-t"}, [](auto& o) { EXPECT_EQ(o.timeFormat, TF::dateAndTime); }},
        {"-ttttt", {"-ttttt"}, [](auto& o) { EXPECT_EQ(o.timeFormat, TF::sinceFirst); }},
        {"verbose", {"-v"}, [](auto& o) { EXPECT_TRUE(o.verbose); }},
        {"-vv", {"-vv"}, [](auto& o) { EXPECT_TRUE(o.verbose); }},
        {"hex", {"-x"}, [](auto& o) { EXPECT_TRUE(o.hexdump); }},
        {"quiet", {"-q"}, [](auto& o) { EXPECT_TRUE(o.quiet); }},
        {"number", {"-#"}, [](auto& o) { EXPECT_TRUE(o.number); }},
        {"--number", {"--number"}, [](auto& o) { EXPECT_TRUE(o.number); }},
        {"-p", {"-p"}, [](auto& o) { EXPECT_FALSE(o.promiscuous); }},
        {"-U", {"-U"}, [](auto& o) { EXPECT_TRUE(o.packetBuffered); }},
        {"-D", {"-D"}, [](auto& o) { EXPECT_TRUE(o.listInterfaces); }},
        {"-n -e accepted", {"-n", "-e", "-nn"}, [](auto& o) { EXPECT_FALSE(o.verbose); }},
        {"help", {"--help"}, [](auto& o) { EXPECT_TRUE(o.help); }},
        {"-h", {"-h"}, [](auto& o) { EXPECT_TRUE(o.help); }},
        {"version", {"--version"}, [](auto& o) { EXPECT_TRUE(o.version); }},
        {"filter", {"udp", "port", "53"}, [](auto& o) { EXPECT_EQ(o.filter, "udp port 53"); }},
        {"grouped flags", {"-nvx#", "-r", "f"},
         [](auto& o) { EXPECT_TRUE(o.verbose && o.hexdump && o.number && o.readFile == "f"); }},
        {"attached values", {"-rfile", "-c5", "-s128"},
         [](auto& o) { EXPECT_TRUE(o.readFile == "file" && o.count == 5 && o.snaplen == 128); }},
        {"the everyday live line", {"-i", "any", "-nn", "-c", "100", "-w", "x.pcap", "udp", "src", "port", "8801"},
         [](auto& o) {
             EXPECT_EQ(o.interface, "any");
             EXPECT_EQ(o.count, 100);
             EXPECT_EQ(o.writeFile, "x.pcap");
             EXPECT_EQ(o.filter, "udp src port 8801");
         }},
        {"the everyday read line", {"-vvv", "-tttt", "-r", "in.pcap", "icmp", "or", "arp"},
         [](auto& o) {
             EXPECT_TRUE(o.verbose);
             EXPECT_EQ(o.timeFormat, TF::dateAndTime);
             EXPECT_EQ(o.filter, "icmp or arp");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.check(options(c.arguments));
    }
    // Parsing starts afresh each time.
    EXPECT_FALSE(options({}).verbose);
}

TEST(TmDumpArguments, Errors) {
    const std::pair<std::vector<std::string>, std::string> errors[] = {
        {{"-r", "a", "-i", "lo"}, "give either -r FILE or -i INTERFACE, not both"},
        {{"-r"}, "option -r needs a value"},
        {{"-c", "x"}, "invalid packet count x"},
        {{"-c", "0"}, "invalid packet count 0"},
        {{"-c", "-3"}, "invalid packet count -3"},
        {{"-c", "99999999999999999999"}, "invalid packet count 99999999999999999999"},
        {{"-s", "-1"}, "invalid snaplen -1 (0 to 262144)"},
        {{"-s", "300000"}, "invalid snaplen 300000 (0 to 262144)"},
        {{"-k"}, "unknown option -k"},
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"-tttttt"}, "at most five -t"},
    };
    for (const auto& [arguments, error] : errors) {
        auto parsed = TmDump::parseArguments(arguments);
        EXPECT_FALSE(parsed.options) << error;
        EXPECT_EQ(parsed.error, error);
    }
}

TEST_F(TmDumpTest, OutputForEachFlag) {
    SampleFile file;
    const auto frames = timedSamples();
    const std::string tcp = frames[0].description();
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::function<void(const std::string& out)> check;
    };
    const Case cases[] = {
        {"default: time of day", {}, [&](auto& out) { EXPECT_EQ(firstLine(out), "22:13:20.123456 " + tcp); }},
        {"-t", {"-t"}, [&](auto& out) { EXPECT_EQ(firstLine(out), tcp); }},
        {"-tt", {"-tt"}, [&](auto& out) { EXPECT_EQ(firstLine(out), "1700000000.123456 " + tcp); }},
        {"-ttt", {"-ttt"},
         [&](auto& out) {
             EXPECT_EQ(firstLine(out), "00:00:00.000000 " + tcp);
             EXPECT_NE(out.find("\n00:00:01.500000 "), std::string::npos);
             EXPECT_NE(out.find("\n01:00:00.000000 "), std::string::npos);
         }},
        {"-tttt", {"-tttt"}, [&](auto& out) { EXPECT_EQ(firstLine(out), "2023-11-14 22:13:20.123456 " + tcp); }},
        {"-ttttt", {"-ttttt"},
         [&](auto& out) {
             EXPECT_NE(out.find("\n00:00:03.000000 "), std::string::npos);
             EXPECT_NE(out.find("\n01:00:03.000000 "), std::string::npos);
         }},
        {"-#", {"-#", "-t"}, [&](auto& out) { EXPECT_EQ(firstLine(out), "1 " + tcp); }},
        {"-q", {"-q", "-t"},
         [&](auto& out) {
             EXPECT_EQ(firstLine(out), frames[0].layer3.description() + " " + frames[0].layer4()->description());
         }},
        {"-c", {"-c", "2"}, [&](auto& out) { EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2); }},
        {"filter", {"-t", "icmp6"}, [&](auto& out) { EXPECT_EQ(out, frames[3].description() + "\n"); }},
        {"-v", {"-t", "-v", "-c", "1"},
         [&](auto& out) {
             EXPECT_EQ(out, tcp + "\n  " + frames[0].verboseDescription() + "\n  " +
                                frames[0].layer3.verboseDescription() + "\n  " +
                                frames[0].layer4()->verboseDescription() + "\n");
         }},
        {"-x", {"-t", "-x", "-c", "1"}, [&](auto& out) { EXPECT_EQ(out, tcp + "\n" + frames[0].hexdump()); }},
        {"-e -n change nothing", {"-e", "-n"}, [&](auto& out) { EXPECT_EQ(firstLine(out), "22:13:20.123456 " + tcp); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.begin(), {"-r", file.path});
        // A filter must come last.
        std::stable_partition(arguments.begin(), arguments.end(), [](const std::string& a) { return a != "icmp6"; });
        Output out, err;
        ASSERT_EQ(TmDump::run(options(arguments), out.file, err.file), 0) << err.text();
        c.check(out.text());
        EXPECT_EQ(firstLine(err.text()), "reading from file " + file.path + ", link-type EN10MB (Ethernet), snapshot length 109");
    }
}

TEST_F(TmDumpTest, WritesFramesAsTheyComeAndReadsThemBack) {
    SampleFile file;
    const std::string copy = temporaryPath("copy.pcap");
    // With -w and nothing else, nothing is printed per frame.
    Output quiet, err;
    ASSERT_EQ(TmDump::run(options({"-r", file.path, "-w", copy}), quiet.file, err.file), 0) << err.text();
    EXPECT_EQ(quiet.text(), "");
    Output original, again, err2;
    ASSERT_EQ(TmDump::run(options({"-r", file.path}), original.file, err2.file), 0);
    ASSERT_EQ(TmDump::run(options({"-r", copy}), again.file, err2.file), 0);
    EXPECT_EQ(again.text(), original.text());
    // -v with -w prints as well; a filter and -c shape what is written.
    Output loud;
    ASSERT_EQ(TmDump::run(options({"-t", "-v", "-c", "1", "-r", file.path, "-w", copy, "ip6"}), loud.file, err.file), 0);
    EXPECT_EQ(firstLine(loud.text()), timedSamples()[3].description());
    Output one;
    ASSERT_EQ(TmDump::run(options({"-t", "-r", copy}), one.file, err.file), 0);
    EXPECT_EQ(one.text(), timedSamples()[3].description() + "\n");
    std::remove(copy.c_str());
}

TEST_F(TmDumpTest, WriteToStandardOutputPipesIntoLibpcapsReader) {
    SampleFile file;
    auto result = runProgram({TMDUMP_PATH, "-r", file.path, "-w", "-"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::FILE* stream = fmemopen(result.out.data(), result.out.size(), "rb");
    auto reader = PcapReader::open(stream);
    EXPECT_EQ(reader->linkType(), 1);
    const auto frames = timedSamples();
    PcapRecord record;
    std::size_t i = 0;
    while (reader->next(record) == PcapReader::Status::record) {
        ASSERT_LT(i, frames.size());
        EXPECT_TRUE(std::equal(record.bytes.begin(), record.bytes.end(), frames[i].data.bytes().begin(),
                               frames[i].data.bytes().end()));
        EXPECT_EQ(record.timeval.seconds * 1'000'000 + record.timeval.microseconds,
                  frames[i].date.time_since_epoch().count());
        EXPECT_EQ(record.originalLength, frames[i].originalLength);
        ++i;
    }
    EXPECT_EQ(i, frames.size());
    // Reading standard input, with -v text beside the stream going to standard error.
    auto piped = runProgram({TMDUMP_PATH, "-t", "-r", "-"}, TestSupport::ProgramOptions::feeding(result.out));
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(firstLine(piped.out), frames[0].description());
    auto both = runProgram({TMDUMP_PATH, "-t", "-v", "-r", file.path, "-w", "-"});
    EXPECT_EQ(both.out, result.out);
    EXPECT_NE(both.err.find(frames[0].description() + "\n  "), std::string::npos);
}

TEST_F(TmDumpTest, WritingKeepsMemoryFlat) {
    // 1,000 and 100,000 frames of 1,000 bytes: holding them would take 100 MB more.
    auto makeFile = [](const std::string& path, int count) {
        std::vector<std::uint8_t> bytes(1000, 0xab);
        std::vector<Frame> frames;
        for (int i = 0; i < count; ++i) frames.emplace_back(ByteSlice(bytes), Timeval{i, 0}, 1000, i + 1);
        writeBytes(path, makePcapFile(frames));
    };
    const std::string small = temporaryPath("small.pcap"), large = temporaryPath("large.pcap");
    const std::string out = temporaryPath("out.pcap");
    makeFile(small, 1000);
    makeFile(large, 100'000);
    auto few = runProgram({TMDUMP_PATH, "-r", small, "-w", out});
    auto many = runProgram({TMDUMP_PATH, "-r", large, "-w", out});
    ASSERT_EQ(few.exitCode, 0) << few.err;
    ASSERT_EQ(many.exitCode, 0) << many.err;
    std::ifstream written(out, std::ios::binary | std::ios::ate);
    EXPECT_EQ(static_cast<long long>(written.tellg()), 24 + 100'000LL * (16 + 1000));
    EXPECT_LT(many.maxRssKiB - few.maxRssKiB, 16 * 1024) << few.maxRssKiB << " KiB, then " << many.maxRssKiB;
    for (const auto& path : {small, large, out}) std::remove(path.c_str());
}

TEST_F(TmDumpTest, ClearErrorsAndExitCodes) {
    SampleFile file;
    const std::string garbage = temporaryPath("garbage.pcap");
    std::ofstream(garbage) << "this is not a capture file";
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string error;
    };
    const Case cases[] = {
        {{"-r", "/nonexistent/file.pcap"}, 1, "tmdump: /nonexistent/file.pcap: No such file or directory"},
        {{"-r", garbage}, 1, "tmdump: " + garbage + ": "},
        {{"-r", file.path, "udp", "port"}, 1, "tmdump: bad filter \"udp port\""},
        {{"-r", file.path, "-w", "/nonexistent/dir/out.pcap"}, 1, "tmdump: /nonexistent/dir/out.pcap"},
        {{"-i", "nosuchdev0"}, 1, "tmdump: pcap_open_live failed with error "},
        {{"-k"}, 1, "tmdump: unknown option -k\nUsage: tmdump"},
        {{"-c"}, 1, "tmdump: option -c needs a value"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{TMDUMP_PATH};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        auto result = runProgram(argv);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments[0];
        EXPECT_NE(result.err.find(c.error), std::string::npos) << result.err;
    }
    // A file whose last record is cut short: every frame before it is printed, then the error.
    const std::string cut = temporaryPath("cut.pcap");
    {
        std::ifstream whole(file.path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
        std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() - 3);
    }
    auto complete = runProgram({TMDUMP_PATH, "-r", file.path});
    auto damaged = runProgram({TMDUMP_PATH, "-r", cut});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_NE(damaged.err.find("tmdump: " + cut + ": truncated"), std::string::npos) << damaged.err;
    EXPECT_EQ(damaged.out, complete.out.substr(0, complete.out.rfind('\n', complete.out.size() - 2) + 1));
    EXPECT_GT(damaged.out.size(), 0u);
    std::remove(cut.c_str());

    auto help = runProgram({TMDUMP_PATH, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: tmdump", 0), 0u);
    auto version = runProgram({TMDUMP_PATH, "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.out.find("ZuzizavAdiduDazorud version "), std::string::npos);
    EXPECT_NE(version.out.find("libpcap version "), std::string::npos);
    std::remove(garbage.c_str());
}

TEST_F(TmDumpTest, LiveCaptureOnLoopbackWithStatistics) {
    if (!TestSupport::canCaptureOnLoopback()) GTEST_SKIP() << "capturing on lo needs root or CAP_NET_RAW";
    // One datagram from port 8801, then the count ends the capture.
    auto result = runProgram({TMDUMP_PATH, "-i", "lo", "-c", "1", "-t", "udp src port 8801 and udp dst port 47123"},
                             TestSupport::ProgramOptions::during([](pid_t pid) {
                                 // Repeat until the capture has started and seen one.
                                 for (int i = 0; i < 50 && TestSupport::isRunning(pid); ++i) {
                                     std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                     TestSupport::sendFrom8801(47123, "tidemark");
                                 }
                             }));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("IPv4 127.0.0.1 > 127.0.0.1 ipProt 17 8801 > 47123 length 16\n"), std::string::npos)
        << result.out;
    EXPECT_NE(result.err.find("listening on lo, link-type EN10MB (Ethernet), snapshot length 262144 bytes\n"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("1 packets captured\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(" packets received by filter\n"), std::string::npos);
    EXPECT_NE(result.err.find(" packets dropped by kernel\n"), std::string::npos);

    // SIGINT ends a capture that sees nothing, with a clean -w file and the statistics.
    const std::string out = temporaryPath("live.pcap");
    auto interrupted = runProgram({TMDUMP_PATH, "-i", "lo", "-w", out, "udp port 9"},
                                  TestSupport::ProgramOptions::during([](pid_t pid) {
                                      std::this_thread::sleep_for(std::chrono::milliseconds(700));
                                      kill(pid, SIGINT);
                                  }));
    EXPECT_EQ(interrupted.exitCode, 0) << interrupted.err;
    EXPECT_NE(interrupted.err.find("0 packets captured\n"), std::string::npos) << interrupted.err;
    auto reader = PcapReader::open(out);
    PcapRecord record;
    EXPECT_EQ(reader->next(record), PcapReader::Status::end);
    std::remove(out.c_str());
}

namespace {

// A pcapng file with one interface of the given link type and one packet per frame.
std::string pcapng(std::uint16_t linkType, const std::vector<ByteSlice>& packets) {
    std::string out;
    auto u32 = [&](std::uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.append(reinterpret_cast<const char*>(&v), 2); };
    u32(0x0a0d0d0a), u32(28), u32(0x1a2b3c4d), u16(1), u16(0), u32(0xffffffff), u32(0xffffffff), u32(28);
    u32(1), u32(20), u16(linkType), u16(0), u32(262144), u32(20);
    std::uint64_t micros = 1700000000ULL * 1000000;
    for (const ByteSlice& packet : packets) {
        const auto padded = static_cast<std::uint32_t>((packet.count() + 3) & ~std::size_t{3});
        u32(6), u32(32 + padded), u32(0), u32(static_cast<std::uint32_t>(micros >> 32)),
            u32(static_cast<std::uint32_t>(micros)), u32(static_cast<std::uint32_t>(packet.count())),
            u32(static_cast<std::uint32_t>(packet.count()));
        out.append(reinterpret_cast<const char*>(packet.bytes().data()), packet.count());
        out.append(padded - packet.count(), '\0');
        u32(32 + padded);
        micros += 1000;
    }
    return out;
}

}  // namespace

TEST_F(TmDumpTest, ReadsEveryLinkTypeAndPcapng) {
    const std::string udp4 = "45000024 0001 0000 4011 0000 0ac90001 0ac90002 2261 9cbd 0010 0000 74696465 6d61726b";
    const std::string text = "IPv4 10.201.0.1 > 10.201.0.2 ipProt 17 8801 > 40125 length 16";
    struct Case {
        LinkType type;
        std::string bytes;
        std::string description;
    };
    const Case cases[] = {
        {LinkType::linuxSll, "0000 0001 0006 02000000000a 0000 0800" + udp4, "02:00:00:00:00:0a In linuxSll 0x0800 " + text},
        {LinkType::linuxSll2, "0800 0000 00000003 0001 00 06 02000000000a 0000" + udp4,
         "02:00:00:00:00:0a In linuxSll2 0x0800 " + text},
        {LinkType::rawFile, udp4, "rawIp " + text},
        {LinkType::null, "02000000" + udp4, "nullLoopback 2 " + text},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        std::vector<Frame> frames{Frame(c.type, TestSupport::hex(c.bytes), Timeval{}, 0, 1)};
        const std::string path = temporaryPath("link.pcap");
        writeBytes(path, makePcapFile(frames, c.type));
        Output out, err;
        ASSERT_EQ(TmDump::run(options({"-t", "-r", path}), out.file, err.file), 0) << err.text();
        EXPECT_EQ(out.text(), c.description + "\n");
        // The same as pcapng.
        const std::string ng = temporaryPath("link.pcapng");
        std::ofstream(ng, std::ios::binary) << pcapng(static_cast<std::uint16_t>(c.type), {frames[0].data});
        Output ngOut, ngErr;
        ASSERT_EQ(TmDump::run(options({"-t", "-r", ng}), ngOut.file, ngErr.file), 0) << ngErr.text();
        EXPECT_EQ(ngOut.text(), c.description + "\n");
        std::remove(path.c_str());
        std::remove(ng.c_str());
    }
    // A link type no decoder knows is refused by name.
    const std::string radiotap = temporaryPath("radiotap.pcap");
    writeBytes(radiotap, makePcapFile({Frame(static_cast<LinkType>(127), TestSupport::hex("00000800"), Timeval{}, 4, 1)},
                                      static_cast<LinkType>(127)));
    Output out, err;
    EXPECT_EQ(TmDump::run(options({"-r", radiotap}), out.file, err.file), 1);
    EXPECT_NE(err.text().find("link type 127 (IEEE802_11_RADIO"), std::string::npos) << err.text();
    std::remove(radiotap.c_str());
}

TEST_F(TmDumpTest, ReadsWhatTcpdumpWritesFromTheAnyDevice) {
    if (!TestSupport::canCaptureOnLoopback()) GTEST_SKIP() << "capturing needs root or CAP_NET_RAW";
    if (std::system("command -v tcpdump > /dev/null") != 0) GTEST_SKIP() << "tcpdump is not installed";
    for (const std::string type : {"LINUX_SLL", "LINUX_SLL2"}) {
        SCOPED_TRACE(type);
        const std::string path = temporaryPath(type + ".pcap");
        auto written = runProgram({"tcpdump", "-i", "any", "-y", type, "-c", "2", "-w", path, "-Z", "root",
                                   "udp src port 8801 and udp dst port 47130"},
                                  TestSupport::ProgramOptions::during([](pid_t pid) {
                                      for (int i = 0; i < 50 && TestSupport::isRunning(pid); ++i) {
                                          std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                          TestSupport::sendFrom8801(47130, "tidemark");
                                      }
                                  }));
        ASSERT_EQ(written.exitCode, 0) << written.err;
        Output out, err;
        ASSERT_EQ(TmDump::run(options({"-t", "-r", path}), out.file, err.file), 0) << err.text();
        const std::string format = type == "LINUX_SLL" ? " linuxSll " : " linuxSll2 ";
        // Loopback frames have an all-zero address, and "any" sees them once, coming in.
        const std::string line = "00:00:00:00:00:00 In" + format + "0x0800 IPv4 127.0.0.1 > 127.0.0.1 ipProt 17 "
                                 "8801 > 47130 length 16\n";
        EXPECT_EQ(out.text(), line + line);
        EXPECT_NE(err.text().find(type == "LINUX_SLL" ? "link-type LINUX_SLL " : "link-type LINUX_SLL2 "),
                  std::string::npos);
        std::remove(path.c_str());
    }
}

TEST_F(TmDumpTest, SignalsEndItPromptlyInEveryState) {
    const std::string fifo = temporaryPath("fifo");
    const std::string written = temporaryPath("signalled.pcap");
    const auto samples = makePcapFile(timedSamples());
    const std::string header(reinterpret_cast<const char*>(samples.bytes().data()), 24);
    const std::string firstRecord(reinterpret_cast<const char*>(samples.bytes().data()) + 24, 16 + 66);
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string fed;  // written to the FIFO (or standard input), which then stays open
        int signal;
        std::string out;  // what it printed
    };
    const Case cases[] = {
        {"FIFO without a writer yet", {"-r", fifo}, "", SIGINT, ""},
        {"FIFO, header only", {"-r", fifo}, header, SIGTERM, ""},
        {"FIFO, one frame, then waiting", {"-t", "-r", fifo}, header + firstRecord, SIGINT,
         timedSamples()[0].description() + "\n"},
        {"standard input", {"-t", "-r", "-"}, header + firstRecord, SIGINT, timedSamples()[0].description() + "\n"},
        {"/dev/stdin with -w", {"-r", "/dev/stdin", "-w", written}, header + firstRecord, SIGTERM, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool useFifo = c.arguments.back() == fifo;
        if (useFifo) {
            ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        }
        std::vector<std::string> argv{TMDUMP_PATH};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        // The writer keeps its end open: only the signal can end the read.
        int stdinPipe[2] = {-1, -1};
        ASSERT_EQ(pipe(stdinPipe), 0);
        std::atomic<bool> ended{false};
        std::thread writer([&] {
            if (useFifo) {
                if (c.fed.empty()) return;
                const int fd = open(fifo.c_str(), O_WRONLY);
                EXPECT_EQ(write(fd, c.fed.data(), c.fed.size()), static_cast<ssize_t>(c.fed.size()));
                while (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                close(fd);
            }
        });
        const auto start = std::chrono::steady_clock::now();
        pid_t child = fork();
        if (child == 0) {
            dup2(stdinPipe[0], 0);
            close(stdinPipe[1]);
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(stdinPipe[0]);
        if (!useFifo) {
            ASSERT_EQ(write(stdinPipe[1], c.fed.data(), c.fed.size()), static_cast<ssize_t>(c.fed.size()));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        kill(child, c.signal);
        int status = 0;
        waitpid(child, &status, 0);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        ended = true;
        close(stdinPipe[1]);
        writer.join();
        EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_LT(elapsed, std::chrono::seconds(2));
        if (useFifo) unlink(fifo.c_str());
    }
    // The -w file was closed cleanly, with the frame read before the signal.
    auto reader = PcapReader::open(written);
    PcapRecord record;
    EXPECT_EQ(reader->next(record), PcapReader::Status::record);
    EXPECT_EQ(reader->next(record), PcapReader::Status::end);
    std::remove(written.c_str());
}
