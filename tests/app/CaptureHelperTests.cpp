// The capture helper and the application's helper-backed capture, on the loopback interface (needs root,
// as in CI; the unprivileged cases run the helper as nobody through setpriv).
#include "CaptureBackend.h"
#include "CaptureRefusal.h"
#include "MediaPath.h"
#include "MeetingServices.h"

#include "Loopback.h"
#include "MediaNetwork.h"
#include "Namespace.h"
#include "Subprocess.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
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
namespace payloads = TestSupport::payloads;

namespace {

const std::string helper = TIDEMARK_CAPTURE_HELPER;

#define REQUIRE_ROOT() \
    if (geteuid() != 0) GTEST_SKIP() << "needs root, as in CI"

// Runs the helper (or setpriv running it) with its standard input held open, as the application holds it.
TestSupport::ProgramResult runHelper(const std::vector<std::string>& argv, ProgramOptions options = {}) {
    options.holdInput = true;
    return runProgram(argv, options);
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

// The observations of the helper's standard output; none when it does not begin as a helper's stream.
std::optional<std::vector<Observation>> observations(const std::string& stream) {
    if (stream.size() < observationStreamHeader.size() ||
        !std::equal(observationStreamHeader.begin(), observationStreamHeader.end(), stream.begin())) {
        return std::nullopt;
    }
    std::vector<Observation> out;
    for (std::size_t at = observationStreamHeader.size(); at + observationRecordSize <= stream.size(); at += observationRecordSize) {
        const auto* record = reinterpret_cast<const std::uint8_t*>(stream.data() + at);
        auto observation = decodeObservation(std::span<const std::uint8_t, observationRecordSize>(record, observationRecordSize));
        if (!observation) return std::nullopt;
        out.push_back(*observation);
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

// Whether the helper (pid) has its capture open: it has dropped every capability, which it does once the
// capture is open.
bool captureOpen(pid_t pid) {
    return statusField(pid, "Name") == "tidemark-captur" && statusField(pid, "CapEff") == "0000000000000000";
}

// Bytes waiting in the process's standard output, a pipe nobody reads while the test acts (a sanitizer's
// own writes would make the process's write count useless).
long long bytesWaiting(pid_t pid) {
    const int fd = open(("/proc/" + std::to_string(pid) + "/fd/1").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    int waiting = -1;
    if (ioctl(fd, FIONREAD, &waiting) != 0) waiting = -1;
    close(fd);
    return waiting;
}

// Polls `condition` every 10 ms for at most 10 s.
template <typename Condition>
bool waitFor(Condition condition) {
    for (int i = 0; i < 1000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
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
                // A connectivity check to a service's port (sent, as everything on lo is).
                std::system(("ip netns exec " + ns.name() + " python3 -c 'import socket; s = socket.socket(socket.AF_INET, "
                             "socket.SOCK_DGRAM); s.sendto(bytes.fromhex(\"000100002112a442000102030405060708090a0b\"), "
                             "(\"127.0.0.1\", 3478))'")
                                .c_str());
                std::this_thread::sleep_for(100ms);
            }
        };
        auto result = runHelper(ns.exec(asNobody({copy.path, "--interface", "lo", "--count", "1"})), ProgramOptions::during(watch));
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_TRUE(result.err.empty()) << result.err;  // nothing to say when all is well
        const auto seen = observations(result.out);
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->size(), 1u);
        ASSERT_FALSE(capabilities.empty());
        EXPECT_EQ(capabilities.back(), "0000000000000000");
        EXPECT_EQ(uids, "65534\t65534\t65534\t65534");  // real, effective, saved and file-system ids
    }
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
            helperCaptureFactory(path)(CaptureParameters{"any"}, [](const Observation&) {});
            ADD_FAILURE() << "no error for " << c.body;
        } catch (const CaptureFailure& failure) {
            EXPECT_EQ(failure.kind(), c.kind) << c.body;
            EXPECT_EQ(failure.what(), c.message);
        }
        unlink(path.c_str());
    }
    // No key of this process's environment reaches the helper.
    char seen[] = "/tmp/tidemark-helper-env-XXXXXX";
    close(mkstemp(seen));
    qputenv("TIDEMARK_TERRITORY_KEY", "s3cret");
    const std::string printsEnvironment = fakeHelper("env > " + std::string(seen) + "; exit 4\n");
    EXPECT_THROW(helperCaptureFactory(printsEnvironment)(CaptureParameters{"any"}, [](const Observation&) {}), CaptureFailure);
    qunsetenv("TIDEMARK_TERRITORY_KEY");
    std::ifstream environment(seen);
    const std::string text((std::istreambuf_iterator<char>(environment)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("PATH="), std::string::npos) << text;
    EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
    unlink(seen);
    unlink(printsEnvironment.c_str());
    // A helper this user may not run (limited to a group it is not in) is a refusal the permission step
    // explains, not a missing helper.
    const std::string locked = fakeHelper("exit 0\n");
    chmod(locked.c_str(), 0644);
    try {
        helperCaptureFactory(locked)(CaptureParameters{"any"}, [](const Observation&) {});
        ADD_FAILURE() << "no error for a helper this user may not run";
    } catch (const CaptureFailure& failure) {
        EXPECT_EQ(failure.kind(), CaptureFailure::Kind::permissionDenied) << failure.what();
    }
    EXPECT_EQ(findCaptureHelper("/nonexistent"), std::nullopt);
    unlink(locked.c_str());
}

TEST(HelperCapture, ManyRunsLeaveNoZombieOrDescriptor) {
    // A capture that sees nothing, cancelled at once: the helper is ended and reaped each time.
    const std::size_t descriptors = openDescriptors();
    const int runs = 200;  // a leak of one descriptor or one zombie a run shows as hundreds
    int started = 0;
    for (int i = 0; i < runs; ++i) {
        try {
            auto session = helperCaptureFactory(helper)(CaptureParameters{"lo"}, [](const Observation&) {});
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
                                    // Open: tcpdump has made the interface promiscuous; the helper has
                                    // dropped its capabilities.
                                    waitFor([&] { return c.expected == 1 ? promiscuity() == 1 : captureOpen(pid); });
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

TEST(CaptureHelper, PassesOnWhatSaysSomethingOfAMeetingAndNothingElse) {
    // The one filter, as the helper says it uses it, compiles for every link type capture gives.
    auto help = runHelper({helper, "--help"});
    EXPECT_NE(help.out.find("Captures with the filter: " + std::string(captureFilter) + "\n"), std::string::npos) << help.out;
    for (const int linkType : {DLT_EN10MB, DLT_LINUX_SLL, DLT_LINUX_SLL2, DLT_RAW}) {
        pcap_t* dead = pcap_open_dead(linkType, 128);
        bpf_program program{};
        EXPECT_EQ(pcap_compile(dead, &program, std::string(captureFilter).c_str(), 1, PCAP_NETMASK_UNKNOWN), 0)
            << pcap_geterr(dead);
        pcap_freecode(&program);
        pcap_close(dead);
    }

    // Live, between two namespaces: each row is sent once; the helper passes on exactly the rows marked.
    REQUIRE_ROOT();
    struct Row {
        bool outbound;
        const char* address;
        std::uint16_t port;
        std::string payload;
        std::optional<PayloadClass> passed;  // none: dropped
    };
    const std::vector<Row> rows = {
        {false, "198.51.100.1", 8801, payloads::unknown, PayloadClass::other},  // any datagram from the table's ports
        {false, "198.51.100.1", 10000, payloads::rtp, PayloadClass::rtp},
        {false, "3.7.35.20", 8802, payloads::zoomMedia, PayloadClass::serviceMedia},
        {false, "52.112.0.10", 3478, payloads::channelData, PayloadClass::turnData},
        {false, "52.112.0.10", 3479, payloads::stunResponse, PayloadClass::stun},
        {false, "192.168.77.7", 50123, payloads::rtp, PayloadClass::rtp},  // media from anyone: a participant
        {true, "52.112.0.10", 3480, payloads::stunRequest, PayloadClass::stun},  // this machine's checks to a service
        {true, "192.168.77.7", 50124, payloads::stunRequest, std::nullopt},  // its checks to a participant
        {true, "198.51.100.1", 8801, payloads::rtp, std::nullopt},           // its own media
        {false, "192.168.77.7", 50125, payloads::stunRequest, std::nullopt},  // a participant's checks
        {false, "198.51.100.1", 8800, payloads::unknown, std::nullopt},       // beside the table
        {false, "198.51.100.1", 53, payloads::rtp, std::nullopt},             // a DNS answer that looks like RTP
        {false, "198.51.100.1", 40000, payloads::hex("16fe"), std::nullopt},  // too short for DTLS
    };
    TestSupport::MediaNetwork net({"198.51.100.1", "3.7.35.20", "52.112.0.10", "192.168.77.7"});
    ASSERT_TRUE(net.ok());
    bool sent = true;
    const auto passed = std::count_if(rows.begin(), rows.end(), [](const Row& row) { return row.passed.has_value(); });
    auto result = runHelper({net.wrapper(helper)}, ProgramOptions::during([&](pid_t pid) {
                                sent = waitFor([&] { return captureOpen(pid); });
                                for (const Row& row : rows) {
                                    sent = sent && (row.outbound ? net.fromComputer(row.address, row.port, row.payload)
                                                                 : net.toComputer(row.address, row.port, row.payload));
                                }
                                // Each passed row is one record, a flow's first at once.
                                const long long expected = static_cast<long long>(observationStreamHeader.size() + passed * observationRecordSize);
                                waitFor([&] { return bytesWaiting(pid) >= expected; });
                                kill(pid, SIGTERM);
                            }));
    ASSERT_TRUE(sent);
    EXPECT_TRUE(result.err.empty()) << result.err;
    const auto seen = observations(result.out);
    ASSERT_TRUE(seen) << result.out.size();
    std::multiset<std::tuple<bool, std::string, int, int>> captured, expected;
    for (const Observation& o : *seen) {
        captured.insert({o.direction == Direction::outbound, o.remote.text(), o.remotePort, static_cast<int>(o.kind)});
        EXPECT_EQ(o.localPort, TestSupport::MediaNetwork::computerPort);
        EXPECT_EQ(o.count, 1u);
    }
    for (const Row& row : rows) {
        if (row.passed) expected.insert({row.outbound, row.address, row.port, static_cast<int>(*row.passed)});
    }
    EXPECT_EQ(captured, expected);
}
