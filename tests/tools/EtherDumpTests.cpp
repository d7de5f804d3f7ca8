#include "EtherDump.h"

#include "EtherCapture.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

using namespace ZuzizavAdiduDazorud;

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

std::string temporaryPath(const char* name) { return std::string("/tmp/etherdump-test-") + std::to_string(getpid()) + name; }

void writeBytes(const std::string& path, const ByteSlice& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.bytes().data()), static_cast<std::streamsize>(bytes.count()));
}

EtherDump::Options options(std::vector<std::string> arguments) {
    auto parsed = EtherDump::parseArguments(arguments);
    EXPECT_TRUE(parsed.options) << parsed.error;
    return parsed.options.value_or(EtherDump::Options{});
}

std::vector<Frame> samples() {
    return {Frame::sampleTcpFrame(), Frame::sampleMdnsFrame(), Frame::sampleIcmpFrame(), Frame::sampleIcmp6Frame()};
}

}  // namespace

TEST(EtherDump, ArgumentParsing) {
    auto o = options({"-v", "-x", "-c", "10", "-w", "out.pcap", "-r", "in.pcap", "udp", "port", "53"});
    EXPECT_TRUE(o.verbose && o.hexdump);
    EXPECT_EQ(o.count, 10);
    EXPECT_EQ(o.readFile, "in.pcap");
    EXPECT_EQ(o.writeFile, "out.pcap");
    EXPECT_EQ(o.filter, "udp port 53");
    const std::pair<std::vector<std::string>, std::string> errors[] = {
        {{}, "give exactly one of -r FILE and -i INTERFACE"},
        {{"-r", "a", "-i", "lo"}, "give exactly one of -r FILE and -i INTERFACE"},
        {{"-r"}, "option -r needs a value"},
        {{"-r", "a", "-c", "x"}, "-c needs a positive number, not x"},
        {{"-r", "a", "-c", "0"}, "-c needs a positive number, not 0"},
        {{"-r", "a", "-q"}, "unknown option -q"},
    };
    for (const auto& [arguments, error] : errors) {
        auto parsed = EtherDump::parseArguments(arguments);
        EXPECT_FALSE(parsed.options);
        EXPECT_EQ(parsed.error, error);
    }
}

TEST(EtherDump, ReadsAFileAndWritesItBack) {
    const std::string in = temporaryPath("-in.pcap");
    const std::string copy = temporaryPath("-copy.pcap");
    writeBytes(in, EtherCapture::makePcapFile(samples()));
    Output out, err;
    ASSERT_EQ(EtherDump::run(options({"-r", in, "-w", copy}), out.file, err.file), 0) << err.text();
    const std::string text = out.text();
    EXPECT_EQ(text.substr(0, text.find('\n')), "1 " + Frame::sampleTcpFrame().description());
    EXPECT_NE(text.find("\n4 " + Frame::sampleIcmp6Frame().description() + "\n"), std::string::npos);

    // The copy holds the same frames.
    Output again, err2;
    ASSERT_EQ(EtherDump::run(options({"-r", copy}), again.file, err2.file), 0);
    EXPECT_EQ(again.text(), text);

    Output filtered, err3;
    ASSERT_EQ(EtherDump::run(options({"-v", "-x", "-c", "1", "-r", in, "icmp"}), filtered.file, err3.file), 0);
    const std::string icmp = filtered.text();
    EXPECT_EQ(icmp.rfind("1 " + Frame::sampleIcmpFrame().description() + "\n  " +
                             Frame::sampleIcmpFrame().verboseDescription() + "\n  IPv4 ",
                         0),
              0u)
        << icmp;
    EXPECT_NE(icmp.find("\n  ICMPv4 type 8 code 0 checksum"), std::string::npos);
    EXPECT_NE(icmp.find("0x0000 b07f b95d 8ed2"), std::string::npos);
    std::remove(in.c_str());
    std::remove(copy.c_str());
}

TEST(EtherDump, ClearErrors) {
    const std::string garbage = temporaryPath("-garbage.pcap");
    std::ofstream(garbage) << "this is not a capture file";
    const std::string good = temporaryPath("-good.pcap");
    writeBytes(good, EtherCapture::makePcapFile(samples()));
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {{"-r", "/nonexistent/file.pcap"}, "No such file or directory"},
        {{"-r", garbage}, "etherdump: "},
        {{"-r", good, "udp", "port"}, "etherdump: bad filter \"udp port\""},
        {{"-r", good, "-w", "/nonexistent/dir/out.pcap"}, "etherdump: cannot write /nonexistent/dir/out.pcap"},
        {{"-i", "nosuchdev0"}, "etherdump: pcap_open_live failed with error "},
    };
    for (const auto& c : cases) {
        Output out, err;
        EXPECT_EQ(EtherDump::run(options(c.arguments), out.file, err.file), 1) << c.arguments[1];
        EXPECT_NE(err.text().find(c.error), std::string::npos) << err.text();
    }
    std::remove(garbage.c_str());
    std::remove(good.c_str());
}
