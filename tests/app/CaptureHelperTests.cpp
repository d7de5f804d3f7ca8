// The capture helper and the application's helper-backed capture, on the loopback interface (needs root,
// as in CI; the unprivileged cases run the helper as nobody through setpriv).
#include "CaptureBackend.h"
#include "ManualScheduler.h"
#include "StreamMonitor.h"

#include <ZuzizavAdiduDazorud/EtherCaptureError.h>
#include <ZuzizavAdiduDazorud/PcapIO.h>

#include "Loopback.h"
#include "Subprocess.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QTest>

#include <atomic>
#include <fstream>

#include "QtPrinters.h"

using namespace Tidemark;
using namespace std::chrono_literals;
using TestSupport::ProgramOptions;
using TestSupport::runProgram;
using TestSupport::openDescriptors;
using ZuzizavAdiduDazorud::EtherCaptureError;
using ZuzizavAdiduDazorud::Frame;

namespace {

const std::string helper = TIDEMARK_CAPTURE_HELPER;

#define REQUIRE_ROOT() \
    if (geteuid() != 0) GTEST_SKIP() << "needs root, as in CI"

// Sends datagrams from port 8801 to `port` until the program has ended (or 5 s passed).
ProgramOptions sendingUntilDone(std::uint16_t port) {
    return ProgramOptions::during([port](pid_t pid) {
        for (int i = 0; i < 50 && TestSupport::isRunning(pid); ++i) {
            std::this_thread::sleep_for(100ms);
            TestSupport::sendFrom8801(port, "tidemark");
        }
    });
}

struct Record {
    std::uint32_t originalLength = 0;
    std::vector<std::uint8_t> bytes;
};

// The records of a pcap stream, copied out of the reader's buffer.
std::vector<Record> records(std::string& stream, std::int32_t* linkType = nullptr) {
    std::vector<Record> out;
    if (stream.empty()) return out;
    auto reader = ZuzizavAdiduDazorud::PcapReader::open(fmemopen(stream.data(), stream.size(), "rb"));
    if (linkType) *linkType = reader->linkType();
    ZuzizavAdiduDazorud::PcapRecord record;
    while (reader->next(record) == ZuzizavAdiduDazorud::PcapReader::Status::record) {
        out.push_back({record.originalLength, {record.bytes.begin(), record.bytes.end()}});
    }
    return out;
}

// A field of /proc/PID/status, such as CapEff.
std::string statusField(pid_t pid, const std::string& name) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name + ":", 0) == 0) return line.substr(line.find_first_not_of(" \t", name.size() + 1));
    }
    return {};
}

// Children of this process that have ended but were not waited for.
int zombies() {
    int count = 0;
    const std::string self = std::to_string(getpid());
    if (DIR* dir = opendir("/proc")) {
        while (dirent* entry = readdir(dir)) {
            if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
            const pid_t pid = std::atoi(entry->d_name);
            if (statusField(pid, "PPid") == self && statusField(pid, "State").rfind("Z", 0) == 0) ++count;
        }
        closedir(dir);
    }
    return count;
}

}  // namespace

TEST(CaptureHelper, WritesOneRecordPerDatagramAsAPcapStream) {
    REQUIRE_ROOT();
    auto result = runProgram({helper, "--interface", "lo", "--count", "1"}, sendingUntilDone(41001));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::int32_t linkType = 0;
    auto captured = records(result.out, &linkType);
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(linkType, 1);
    // Ethernet, IPv4 127.0.0.1:8801 > 127.0.0.1:41001, the 8 bytes of data: 50 bytes, within the 96.
    const auto& bytes = captured[0].bytes;
    ASSERT_EQ(bytes.size(), 50u);
    EXPECT_EQ(captured[0].originalLength, 50u);
    EXPECT_EQ(std::string(bytes.begin() + 42, bytes.end()), "tidemark");
    EXPECT_EQ((bytes[34] << 8) | bytes[35], 8801);
    EXPECT_EQ((bytes[36] << 8) | bytes[37], 41001);
    // The default interface is every interface: Linux cooked frames.
    auto any = runProgram({helper}, sendingUntilDone(41002));
    ASSERT_EQ(any.exitCode, 0) << any.err;
    records(any.out, &linkType);
    EXPECT_TRUE(linkType == 113 || linkType == 276) << linkType;
}

TEST(CaptureHelper, AcceptsNoOtherFilterOrSnapshotLength) {
    const std::vector<std::vector<std::string>> refused = {
        {"--filter", "tcp"}, {"-f", "tcp"},     {"--snaplen", "65535"}, {"-s", "65535"}, {"udp", "port", "53"},
        {"--count", "0"},    {"--count", "x"},  {"--interface"},        {"--interface", "../../etc"},
    };
    for (const auto& arguments : refused) {
        std::vector<std::string> argv{helper};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        auto result = runProgram(argv);
        EXPECT_EQ(result.exitCode, 1) << arguments[0];
        EXPECT_TRUE(result.out.empty());
        EXPECT_NE(result.err.find("usage: tidemark-capture"), std::string::npos) << result.err;
    }
    auto missing = runProgram({helper, "--interface", "nosuchdev9"});
    EXPECT_EQ(missing.exitCode, geteuid() == 0 ? 3 : 2) << missing.err;
}

TEST(CaptureHelper, WithoutTheCapabilityItIsDenied) {
    REQUIRE_ROOT();
    auto result = runProgram({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", helper, "--interface", "lo"});
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_NE(result.err.find("You don't have permission"), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty());
}

TEST(CaptureHelper, WithTheCapabilityItCapturesAndThenHoldsNone) {
    REQUIRE_ROOT();
    if (std::system("command -v setcap > /dev/null") != 0) GTEST_SKIP() << "setcap is not installed";
    char folder[] = "/tmp/tidemark-helper-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    chmod(folder, 0755);
    const std::string copy = std::string(folder) + "/tidemark-capture";
    ASSERT_EQ(std::system(("cp " + helper + " " + copy + " && setcap cap_net_raw+ep " + copy).c_str()), 0);

    std::vector<std::string> capabilities;
    auto result = runProgram({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", copy, "--interface", "lo"},
                             ProgramOptions::during([&](pid_t setpriv) {
                                 // setpriv execs the helper in the same process: watch its capabilities
                                 // until the capture is open and they are gone, then send.
                                 for (int i = 0; i < 100 && TestSupport::isRunning(setpriv); ++i) {
                                     const std::string effective = statusField(setpriv, "CapEff");
                                     if (capabilities.empty() || capabilities.back() != effective) {
                                         capabilities.push_back(effective);
                                     }
                                     if (effective == "0000000000000000" && statusField(setpriv, "CapPrm") ==
                                                                                "0000000000000000") {
                                         break;
                                     }
                                     std::this_thread::sleep_for(10ms);
                                 }
                                 for (int i = 0; i < 50 && TestSupport::isRunning(setpriv); ++i) {
                                     TestSupport::sendFrom8801(41003, "tidemark");
                                     std::this_thread::sleep_for(100ms);
                                 }
                             }));
    std::system(("rm -rf " + std::string(folder)).c_str());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(records(result.out).size(), 1u);
    ASSERT_FALSE(capabilities.empty());
    EXPECT_EQ(capabilities.back(), "0000000000000000");
}

TEST(HelperCapture, FramesReachTheMonitorFromTheHelper) {
    REQUIRE_ROOT();
    DisplayState state(std::nullopt);
    ManualScheduler scheduler;
    std::vector<QString> lookups;
    StreamMonitor monitor({state, scheduler, helperCaptureFactory(helper),
                           [] { return InterfaceProbe{"lo", std::nullopt}; },
                           [&](const QString& address) { lookups.push_back(address); }, [] {},
                           [] { return QDateTime::currentDateTimeUtc(); }, QStringLiteral("lo")});
    monitor.startMonitoring();
    for (int i = 0; i < 100 && lookups.empty(); ++i) {
        TestSupport::sendFrom8801(41004, "media");
        std::this_thread::sleep_for(50ms);
        scheduler.runPosted();
    }
    ASSERT_EQ(lookups, std::vector<QString>{"127.0.0.1"});
    EXPECT_TRUE(state.statusText().contains(QStringLiteral("Just checked packets at ")));
    scheduler.advance(5s);  // the restart cancels the ended helper's session and starts the next
    scheduler.advance(10s);
}

TEST(HelperCapture, RefusalsBecomeTheMonitorsErrors) {
    // Denied and no such device map to the open failure the monitor knows; the helper's text is libpcap's.
    auto fakeHelper = [](const std::string& body) {
        char path[] = "/tmp/tidemark-fake-helper-XXXXXX";
        const int fd = mkstemp(path);
        const std::string script = "#!/bin/sh\n" + body;
        EXPECT_EQ(write(fd, script.data(), script.size()), static_cast<ssize_t>(script.size()));
        close(fd);
        chmod(path, 0755);
        return std::string(path);
    };
    struct Case {
        std::string body;
        EtherCaptureError::Case errorCase;
        std::string message;
    };
    const Case cases[] = {
        {"echo 'pcap_open_live failed with error any: You don'\\''t have permission to perform this capture on that "
         "device (socket: Operation not permitted)' >&2; exit 2\n",
         EtherCaptureError::Case::pcap_open_live_failed,
         "any: You don't have permission to perform this capture on that device (socket: Operation not permitted)"},
        {"echo 'pcap_open_live failed with error tun9: No such device exists' >&2; exit 3\n",
         EtherCaptureError::Case::pcap_open_live_failed, "tun9: No such device exists"},
        {"echo 'tidemark-capture: cannot drop capabilities' >&2; exit 1\n", EtherCaptureError::Case::genericError,
         "the capture helper ended with code 1: tidemark-capture: cannot drop capabilities"},
    };
    for (const auto& c : cases) {
        const std::string path = fakeHelper(c.body);
        try {
            helperCaptureFactory(path)(CaptureParameters{"any"}, [](const Frame&) {});
            ADD_FAILURE() << "no error for " << c.body;
        } catch (const EtherCaptureError& error) {
            EXPECT_EQ(error.errorCase(), c.errorCase);
            EXPECT_EQ(error.message(), c.message);
        }
        unlink(path.c_str());
    }
}

TEST(HelperCapture, AThousandRunsLeaveNoZombieOrDescriptor) {
    // A capture that sees nothing, cancelled at once: the helper is ended and reaped each time.
    const std::size_t descriptors = openDescriptors();
    const int runs = 1000;
    int started = 0;
    for (int i = 0; i < runs; ++i) {
        try {
            auto session = helperCaptureFactory(helper)(CaptureParameters{"lo"}, [](const Frame&) {});
            ++started;
            session->cancel();
        } catch (const EtherCaptureError&) {
            // Without capture rights every run is refused; spawning and reaping is still exercised.
        }
    }
    EXPECT_TRUE(started == runs || geteuid() != 0) << started;
    // Sessions end on their reading threads; give the last ones a moment.
    for (int i = 0; i < 100 && (zombies() > 0 || openDescriptors() > descriptors); ++i) std::this_thread::sleep_for(20ms);
    EXPECT_EQ(zombies(), 0);
    EXPECT_EQ(openDescriptors(), descriptors);
}
