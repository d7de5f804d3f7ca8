// The capture helper and the application's helper-backed capture, on the loopback interface (needs root,
// as in CI; the unprivileged cases run the helper as nobody through setpriv).
#include "CaptureBackend.h"
#include "CaptureRefusal.h"
#include "HeaderCut.h"
#include "MeetingServices.h"
#include "ManualScheduler.h"
#include "StreamMonitor.h"

#include <ZuzizavAdiduDazorud/PcapIO.h>

#include "Loopback.h"
#include "Namespace.h"
#include "Subprocess.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QTest>

#include <atomic>
#include <set>

#include <pcap/pcap.h>
#include <fstream>

#include "QtPrinters.h"

using namespace Tidemark;
using namespace std::chrono_literals;
using TestSupport::ProgramOptions;
using TestSupport::runProgram;
using TestSupport::openDescriptors;
using ZuzizavAdiduDazorud::Frame;

namespace {

const std::string helper = TIDEMARK_CAPTURE_HELPER;

#define REQUIRE_ROOT() \
    if (geteuid() != 0) GTEST_SKIP() << "needs root, as in CI"

// Runs the helper (or setpriv running it) with its standard input held open, as the application holds it.
TestSupport::ProgramResult runHelper(const std::vector<std::string>& argv, ProgramOptions options = {}) {
    options.holdInput = true;
    return runProgram(argv, options);
}

// Sends datagrams from port 8801 to `port` until the program has ended (or 5 s passed).
ProgramOptions sendingUntilDone(std::uint16_t port) {
    return ProgramOptions::during([port](pid_t pid) {
        for (int i = 0; i < 50 && TestSupport::isRunning(pid); ++i) {
            std::this_thread::sleep_for(100ms);
            TestSupport::sendFrom8801(port, "tidemark");
        }
    });
}

// A copy of the helper in a folder of its own that every user can read (the checkout may not be), with
// the capture capability when asked; removed with the object.
struct HelperCopy {
    enum class Right { none, capability, setuidRoot };
    explicit HelperCopy(Right right) {
        // A file system that honours setuid bits, for the setuid copy.
        for (const char* base : {"/tmp", "/var/tmp", "/var/lib"}) {
            struct statvfs info {};
            if (statvfs(base, &info) == 0 && !(info.f_flag & ST_NOSUID)) {
                folder = base;
                break;
            }
        }
        if (folder.empty()) return;
        folder += "/tidemark-helper-XXXXXX";
        if (!mkdtemp(folder.data())) return;
        chmod(folder.c_str(), 0755);
        path = folder + "/tidemark-capture";
        std::string command = "cp " + helper + " " + path;
        if (right == Right::capability) command += " && setcap cap_net_raw+ep " + path;
        if (right == Right::setuidRoot) command += " && chmod 4755 " + path;
        ok = std::system(command.c_str()) == 0;
    }
    ~HelperCopy() { std::system(("rm -rf " + folder).c_str()); }
    std::string folder;
    std::string path;
    bool ok = false;
};

std::vector<std::string> asNobody(std::vector<std::string> argv) {
    argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return argv;
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

TEST(CaptureHelper, CutsEachLinkTypeAtTheEndOfTheUdpHeader) {
    // IPv4 with 4 option bytes / IPv6, then a UDP header and two bytes of data that must not pass.
    const std::string ip4 = "4600002c000000004011000001020304050607080000000022b3a0000010000099aa";
    const std::string ip6 = "6000000000101140" + std::string(64, '0') + "22b3a0000010000099aa";
    const std::string eth = "ffffffffffff020000000001";
    struct Case {
        int linkType;
        std::string packet;
        std::size_t end;
    } const cases[] = {
        {1, eth + "0800" + ip4, 14 + 24 + 8},
        {1, eth + "8100000588a800060800" + ip4, 22 + 24 + 8},  // two VLAN tags
        {1, eth + "86dd" + ip6, 14 + 48},
        {113, std::string(28, '0') + "0800" + ip4, 16 + 32},
        {276, "86dd" + std::string(36, '0') + ip6, 20 + 48},
        {0, "02000000" + ip4, 4 + 32},
        {12, ip6, 48},
        {1, eth + "0800" + ip4.substr(0, 18) + "06" + ip4.substr(20), 0},  // TCP
        {1, eth + "0800" + ip4.substr(0, 12) + "0001" + ip4.substr(16), 0},  // a later fragment
        {1, eth + "0800" + ip4.substr(0, 60), 0},                           // cut inside the UDP header
        {1, eth + "81000005", 0},
        {105, ip4, 0},  // a link type a capture here never gives
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i + 1 < c.packet.size(); i += 2) bytes.push_back(std::stoi(c.packet.substr(i, 2), nullptr, 16));
        EXPECT_EQ(udpHeaderEnd(c.linkType, bytes), c.end) << c.linkType << " " << c.packet;
    }
}

TEST(CaptureHelper, WritesOneRecordPerDatagramAsAPcapStream) {
    REQUIRE_ROOT();
    auto result = runHelper({helper, "--interface", "lo", "--count", "1"}, sendingUntilDone(41001));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::int32_t linkType = 0;
    auto captured = records(result.out, &linkType);
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(linkType, 1);
    // Ethernet, IPv4 127.0.0.1:8801 > 127.0.0.1:41001 and 8 bytes of data: 50 bytes, written up to the
    // end of the UDP header and no further.
    const auto& bytes = captured[0].bytes;
    ASSERT_EQ(bytes.size(), 42u);
    EXPECT_EQ(captured[0].originalLength, 50u);
    EXPECT_EQ((bytes[34] << 8) | bytes[35], 8801);
    EXPECT_EQ((bytes[36] << 8) | bytes[37], 41001);
    // The default interface is every interface: Linux cooked frames.
    auto any = runHelper({helper}, sendingUntilDone(41002));
    ASSERT_EQ(any.exitCode, 0) << any.err;
    auto cooked = records(any.out, &linkType);
    EXPECT_TRUE(linkType == 113 || linkType == 276) << linkType;
    ASSERT_EQ(cooked.size(), 1u);
    EXPECT_EQ(cooked[0].bytes.size(), (linkType == 113 ? 16u : 20u) + 20 + 8);
}

TEST(CaptureHelper, AcceptsNoOtherFilterOrSnapshotLength) {
    const std::vector<std::vector<std::string>> refused = {
        {"--filter", "tcp"}, {"-f", "tcp"},     {"--snaplen", "65535"}, {"-s", "65535"}, {"udp", "port", "53"},
        {"--count", "0"},    {"--count", "x"},  {"--interface"},        {"--interface", "../../etc"},
    };
    for (const auto& arguments : refused) {
        std::vector<std::string> argv{helper};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        auto result = runHelper(argv);
        EXPECT_EQ(result.exitCode, 1) << arguments[0];
        EXPECT_TRUE(result.out.empty());
        EXPECT_NE(result.err.find("usage: tidemark-capture"), std::string::npos) << result.err;
    }
    auto missing = runHelper({helper, "--interface", "nosuchdev9"});
    EXPECT_EQ(missing.exitCode, geteuid() == 0 ? 3 : 2) << missing.err;
}

TEST(CaptureHelper, WithoutTheCapabilityItIsDenied) {
    REQUIRE_ROOT();
    HelperCopy copy(HelperCopy::Right::none);
    ASSERT_TRUE(copy.ok);
    auto result = runHelper(asNobody({copy.path, "--interface", "lo"}));
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_NE(result.err.find("You don't have permission"), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty());
}

TEST(CaptureHelper, WithItsRightItCapturesAsTheUserAndThenHoldsNothing) {
    // The file capability, or setuid root where a file system keeps no capabilities: either way, once the
    // capture is open the helper is the user who ran it, with no capability, and it still captures.
    REQUIRE_ROOT();
    if (std::system("command -v setcap > /dev/null") != 0) GTEST_SKIP() << "setcap is not installed";
    for (const auto right : {HelperCopy::Right::capability, HelperCopy::Right::setuidRoot}) {
        SCOPED_TRACE(right == HelperCopy::Right::capability ? "file capability" : "setuid root");
        HelperCopy copy(right);
        ASSERT_TRUE(copy.ok);
        TestSupport::NetworkNamespace ns;
        ASSERT_TRUE(ns.ok());
        std::vector<std::string> capabilities;
        std::string uids;
        auto watch = [&](pid_t pid) {
            // ip netns exec and setpriv exec the helper in the same process: watch it until the capture is
            // open and its capabilities are gone, then send.
            for (int i = 0; i < 200 && TestSupport::isRunning(pid); ++i) {
                const std::string effective = statusField(pid, "CapEff");
                if (capabilities.empty() || capabilities.back() != effective) capabilities.push_back(effective);
                if (statusField(pid, "Name") == "tidemark-captur" && effective == "0000000000000000" &&
                    statusField(pid, "CapPrm") == "0000000000000000") {
                    uids = statusField(pid, "Uid");
                    break;
                }
                std::this_thread::sleep_for(10ms);
            }
            for (int i = 0; i < 30 && TestSupport::isRunning(pid); ++i) {
                std::system(("ip netns exec " + ns.name() + " python3 -c 'import socket; s = socket.socket(socket.AF_INET, "
                             "socket.SOCK_DGRAM); s.bind((\"127.0.0.1\", 8801)); s.sendto(b\"m\", (\"127.0.0.1\", 41003))'")
                                .c_str());
                std::this_thread::sleep_for(100ms);
            }
        };
        auto result = runHelper(ns.exec(asNobody({copy.path, "--interface", "lo"})), ProgramOptions::during(watch));
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(records(result.out).size(), 1u);
        ASSERT_FALSE(capabilities.empty());
        EXPECT_EQ(capabilities.back(), "0000000000000000");
        EXPECT_EQ(uids, "65534\t65534\t65534\t65534");  // real, effective, saved and file-system ids
    }
}

TEST(HelperCapture, FramesReachTheMonitorFromTheHelper) {
    REQUIRE_ROOT();
    DisplayState state(std::nullopt);
    ManualScheduler scheduler;
    std::vector<QString> lookups;
    StreamMonitor monitor({state, scheduler, helperCaptureFactory(helper),
                           [&](const QString& address) { lookups.push_back(address); }, [] {},
                           [] { return QDateTime::currentDateTimeUtc(); }, QStringLiteral("lo"), {}});
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
    // The exit code alone says why; the text is the helper's last line, for people.
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
        CaptureFailure::Kind kind;
        std::string message;
    };
    const Case cases[] = {
        {"echo 'one'; echo 'refused' >&2; exit 2\n", CaptureFailure::Kind::permissionDenied, "refused"},
        {"echo 'tun9: No such device exists' >&2; exit 3\n", CaptureFailure::Kind::noSuchDevice,
         "tun9: No such device exists"},
        {"echo 'any: That device is not up' >&2; exit 4\n", CaptureFailure::Kind::openFailed,
         "any: That device is not up"},
        {"echo 'tidemark-capture: cannot drop capabilities' >&2; exit 1\n", CaptureFailure::Kind::other,
         "the capture helper ended with code 1: tidemark-capture: cannot drop capabilities"},
    };
    for (const auto& c : cases) {
        const std::string path = fakeHelper(c.body);
        try {
            helperCaptureFactory(path)(CaptureParameters{"any"}, [](const Frame&) {});
            ADD_FAILURE() << "no error for " << c.body;
        } catch (const CaptureFailure& failure) {
            EXPECT_EQ(failure.kind(), c.kind) << c.body;
            EXPECT_EQ(failure.what(), c.message);
        }
        unlink(path.c_str());
    }
    // A helper this user may not run (limited to a group it is not in) is a refusal the permission step
    // explains, not a missing helper.
    const std::string locked = fakeHelper("exit 0\n");
    chmod(locked.c_str(), 0644);
    try {
        helperCaptureFactory(locked)(CaptureParameters{"any"}, [](const Frame&) {});
        ADD_FAILURE() << "no error for a helper this user may not run";
    } catch (const CaptureFailure& failure) {
        EXPECT_EQ(failure.kind(), CaptureFailure::Kind::permissionDenied) << failure.what();
    }
    EXPECT_EQ(findCaptureHelper("/nonexistent"), std::nullopt);
    unlink(locked.c_str());
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
        } catch (const CaptureFailure&) {
            // Without capture rights every run is refused; spawning and reaping is still exercised.
        }
    }
    EXPECT_TRUE(started == runs || geteuid() != 0) << started;
    // Sessions end on their reading threads; give the last ones a moment.
    for (int i = 0; i < 100 && (zombies() > 0 || openDescriptors() > descriptors); ++i) std::this_thread::sleep_for(20ms);
    EXPECT_EQ(zombies(), 0);
    EXPECT_EQ(openDescriptors(), descriptors);
}

TEST(CaptureHelper, NeverPutsAnInterfaceIntoPromiscuousMode) {
    REQUIRE_ROOT();
    TestSupport::NetworkNamespace ns;
    ASSERT_TRUE(ns.ok());
    ASSERT_TRUE(ns.shell("ip link add va type veth peer name vb && ip link set va up && ip link set vb up"));
    auto promiscuity = [&] {
        const std::string text = ns.output("ip -d link show va");
        const auto at = text.find("promiscuity ");
        return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + 12);
    };
    ASSERT_EQ(promiscuity(), 0);
    // Measured while each program captures: tcpdump (promiscuous unless told -p) shows the measure works.
    struct Case {
        std::vector<std::string> argv;
        int expected;
    };
    const Case cases[] = {{{"tcpdump", "-i", "va", "-c", "1"}, 1}, {{helper, "--interface", "va"}, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argv[0]);
        int during = -1;
        auto result = runHelper(ns.exec(c.argv), ProgramOptions::during([&](pid_t pid) {
                                    std::this_thread::sleep_for(500ms);
                                    during = promiscuity();
                                    kill(pid, SIGTERM);
                                }));
        EXPECT_EQ(during, c.expected) << result.err;
        EXPECT_EQ(promiscuity(), 0);
    }
}

TEST(CaptureHelper, EndsWithItsParent) {
    // The parent dies while the helper captures (SIGTERM follows), or before the helper has even started
    // (its standard input has hung up). Orphans come back to this process, which waits for them.
    REQUIRE_ROOT();
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    for (const bool parentGoneFirst : {false, true}) {
        SCOPED_TRACE(parentGoneFirst ? "parent gone before the helper starts" : "parent dies during the capture");
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        const pid_t parent = fork();
        if (parent == 0) {
            int lifeline[2], started[2];
            if (pipe(lifeline) != 0 || pipe(started) != 0) _exit(1);
            const pid_t child = fork();
            if (child == 0) {
                close(lifeline[1]);
                close(started[1]);
                dup2(lifeline[0], 0);
                const int null = open("/dev/null", O_WRONLY);
                dup2(null, 1);
                char byte;
                if (parentGoneFirst) (void)!read(started[0], &byte, 1);  // the end of file: the parent is gone
                execl(helper.c_str(), helper.c_str(), "--interface", "lo", static_cast<char*>(nullptr));
                _exit(127);
            }
            (void)!write(report[1], &child, sizeof child);
            if (!parentGoneFirst) std::this_thread::sleep_for(500ms);  // the capture is open by now
            _exit(0);
        }
        close(report[1]);
        pid_t child = -1;
        ASSERT_EQ(read(report[0], &child, sizeof child), static_cast<ssize_t>(sizeof child));
        close(report[0]);
        waitpid(parent, nullptr, 0);
        const auto gone = std::chrono::steady_clock::now();
        int status = 0;
        pid_t ended = 0;
        while ((ended = waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() - gone < 5s) {
            std::this_thread::sleep_for(10ms);
        }
        const auto after = std::chrono::steady_clock::now() - gone;
        if (ended == 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        EXPECT_EQ(ended, child);
        EXPECT_LT(after, 1s);
        if (parentGoneFirst) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
        }
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST(CaptureHelper, TheFilterIsTheTablesAndCapturesItsPortsAlone) {
    // The one filter, as the helper says it uses it, compiles for every link type capture gives.
    auto help = runHelper({helper, "--help"});
    EXPECT_NE(help.out.find("Captures with the filter: " + std::string(captureFilter) + "\n"), std::string::npos) << help.out;
    for (const int linkType : {DLT_EN10MB, DLT_LINUX_SLL, DLT_LINUX_SLL2, DLT_RAW}) {
        pcap_t* dead = pcap_open_dead(linkType, 96);
        bpf_program program{};
        EXPECT_EQ(pcap_compile(dead, &program, std::string(captureFilter).c_str(), 1, PCAP_NETMASK_UNKNOWN), 0)
            << pcap_geterr(dead);
        pcap_freecode(&program);
        pcap_close(dead);
    }

    // Live, in a namespace of its own: datagrams from every port in the table and from ports beside them,
    // over IPv4 and IPv6; the helper writes exactly those of the table.
    REQUIRE_ROOT();
    TestSupport::NetworkNamespace ns;
    ASSERT_TRUE(ns.ok());
    const std::vector<int> inTable{8801, 8810, 3478, 3479, 3481, 19302, 19309, 9000, 5004, 10000};
    const std::vector<int> outside{8800, 8811, 3477, 3482, 19301, 19310, 8999, 5005, 9999, 53};
    std::string ports;
    for (int port : inTable) ports += std::to_string(port) + ",";
    for (int port : outside) ports += std::to_string(port) + ",";
    char script[] = "/tmp/tidemark-send-XXXXXX";
    const int fd = mkstemp(script);
    const std::string program = "import socket\n"
                                "for family, host in ((socket.AF_INET, '127.0.0.1'), (socket.AF_INET6, '::1')):\n"
                                "    for port in (" + ports + "):\n"
                                "        s = socket.socket(family, socket.SOCK_DGRAM)\n"
                                "        s.bind((host, port))\n"
                                "        s.sendto(b'm', (host, 40000))\n"
                                "        s.close()\n";
    ASSERT_EQ(write(fd, program.data(), program.size()), static_cast<ssize_t>(program.size()));
    close(fd);
    bool sent = false;
    auto result = runHelper(ns.exec({helper, "--interface", "lo", "--count", "1000"}), ProgramOptions::during([&](pid_t pid) {
                                std::this_thread::sleep_for(500ms);
                                sent = std::system(("ip netns exec " + ns.name() + " python3 " + script).c_str()) == 0;
                                std::this_thread::sleep_for(1500ms);  // libpcap hands packets over within 1 s
                                kill(pid, SIGTERM);
                            }));
    unlink(script);
    ASSERT_TRUE(sent);
    ASSERT_GT(result.out.size(), 24u) << result.err << " exit " << result.exitCode << " signal " << result.signal;
    std::int32_t linkType = 0;
    std::multiset<std::pair<int, int>> captured;  // IP version, source port
    for (const Record& record : records(result.out, &linkType)) {
        auto bytes = ZuzizavAdiduDazorud::ByteSlice(record.bytes.data(), record.bytes.size());
        const Frame frame(static_cast<ZuzizavAdiduDazorud::LinkType>(linkType), bytes, {}, record.originalLength);
        const auto* layer4 = frame.layer4();
        ASSERT_TRUE(layer4 && layer4->udp());
        captured.insert({frame.layer3.ipv4() ? 4 : 6, static_cast<int>(layer4->udp()->sourcePort)});
    }
    std::multiset<std::pair<int, int>> expected;
    for (int version : {4, 6}) {
        for (int port : inTable) expected.insert({version, port});
    }
    EXPECT_EQ(captured, expected);
}
