#include <ZuzizavAdiduDazorud/EtherCapture.h>

#include "Hex.h"
#include "LogCapture.h"
#include "Loopback.h"
#include "Subprocess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

using namespace ZuzizavAdiduDazorud;
using namespace std::chrono_literals;
using TestSupport::openDescriptors;

namespace {

// Filter that matches nothing on loopback.
const std::string quietFilter = "udp src port 8801 and udp dst port 9";

using TestSupport::canCaptureOnLoopback;

#define REQUIRE_CAPTURE_RIGHTS()                                                                   \
    if (!canCaptureOnLoopback()) GTEST_SKIP() << "capturing on lo needs root or CAP_NET_RAW; CI runs as root"

struct Received {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Frame> frames;
    std::vector<std::thread::id> threads;

    EtherCapture::Callback callback() {
        return [this](const Frame& frame) {
            std::lock_guard lock(mutex);
            frames.push_back(frame);
            threads.push_back(std::this_thread::get_id());
            arrived.notify_all();
        };
    }
    bool waitFor(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, timeout, [&] { return frames.size() >= count; });
    }
};

EtherCaptureError::Case errorCaseOf(const std::function<void()>& body, std::string* description = nullptr) {
    try {
        body();
    } catch (const EtherCaptureError& error) {
        if (description) *description = error.description();
        return error.errorCase();
    }
    ADD_FAILURE() << "no EtherCaptureError";
    return EtherCaptureError::Case::genericError;
}

}  // namespace

TEST(EtherCapture, LoopbackDeliversOneUdpFrameOnTheCaptureThread) {
    REQUIRE_CAPTURE_RIGHTS();
    TestSupport::LogCapture log;
    Received received;
    auto session = EtherCapture::make("lo", 1, "udp src port 8801", 96, true, received.callback());
    EXPECT_EQ(session->datalink(), DLT_EN10MB);
    TestSupport::sendFrom8801(40123, "tidemark");
    ASSERT_TRUE(received.waitFor(1, 5s));
    ASSERT_TRUE(session->waitUntilFinished(5s)) << "count 1 must end the loop by itself";
    TestSupport::sendFrom8801(40123, "second");
    std::this_thread::sleep_for(200ms);  // nothing more may arrive once the loop has ended

    std::lock_guard lock(received.mutex);
    ASSERT_EQ(received.frames.size(), 1u);
    EXPECT_NE(received.threads[0], std::this_thread::get_id());
    const Frame& frame = received.frames[0];
    EXPECT_EQ(frame.frameNumber, 1);
    EXPECT_EQ(frame.frameFormat, FrameFormat::ethernet);
    EXPECT_EQ(frame.ethertype, 0x0800u);
    EXPECT_EQ(frame.data.count(), 14u + 20u + 8u + 8u);
    EXPECT_EQ(frame.originalLength, 50);
    const IPv4* ip = frame.layer3.ipv4();
    ASSERT_TRUE(ip);
    EXPECT_EQ(ip->description(), "IPv4 127.0.0.1 > 127.0.0.1 ipProt 17");
    EXPECT_EQ(ip->startIndex[Field::sourceIP], 26u);
    const Udp* udp = ip->layer4.udp();
    ASSERT_TRUE(udp);
    EXPECT_EQ(udp->sourcePort, 8801u);
    EXPECT_EQ(udp->destinationPort, 40123u);
    EXPECT_EQ(udp->startIndex[Field::sourcePort], 34u);
    EXPECT_EQ(udp->payload.startIndex(), 42u);
    EXPECT_EQ(std::string(udp->payload.bytes().begin(), udp->payload.bytes().end()), "tidemark");
    auto now = std::chrono::system_clock::now();
    EXPECT_LT(std::chrono::abs(now - frame.date), 30s);

    auto messages = log.messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0],
              "warning: Executing netpeek on interface lo count 1 snaplen 96 promiscuous true command udp src port "
              "8801");
}

TEST(EtherCapture, AnyDeviceDeliversCookedFrames) {
    REQUIRE_CAPTURE_RIGHTS();
    Received received;
    auto session = EtherCapture::make("any", 1, "udp src port 8801 and udp dst port 40124", 96, false,
                                      received.callback());
    EXPECT_TRUE(session->datalink() == DLT_LINUX_SLL || session->datalink() == DLT_LINUX_SLL2) << session->datalink();
    TestSupport::sendFrom8801(40124, "tidemark");
    ASSERT_TRUE(received.waitFor(1, 5s));
    ASSERT_TRUE(session->waitUntilFinished(5s));
    std::lock_guard lock(received.mutex);
    const Frame& frame = received.frames[0];
    EXPECT_EQ(static_cast<int>(frame.linkType), session->datalink());
    EXPECT_TRUE(frame.frameFormat == FrameFormat::linuxSll || frame.frameFormat == FrameFormat::linuxSll2);
    ASSERT_TRUE(frame.cooked);
    EXPECT_EQ(frame.cooked->protocol, 0x0800);
    ASSERT_TRUE(frame.layer3.ipv4());
    EXPECT_EQ(frame.layer3.description(), "IPv4 127.0.0.1 > 127.0.0.1 ipProt 17");
    ASSERT_TRUE(frame.layer4() && frame.layer4()->udp());
    EXPECT_EQ(frame.layer4()->udp()->destinationPort, 40124u);
}

// A tun device, as a VPN makes one: raw IP packets with no link header at all.
TEST(EtherCapture, TunDeviceDeliversRawIpFrames) {
    REQUIRE_CAPTURE_RIGHTS();
    const int tun = open("/dev/net/tun", O_RDWR | O_CLOEXEC);
    if (tun < 0) GTEST_SKIP() << "no /dev/net/tun";
    ifreq request{};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::snprintf(request.ifr_name, IFNAMSIZ, "tmtun%%d");
    if (ioctl(tun, TUNSETIFF, &request) < 0) {
        close(tun);
        GTEST_SKIP() << "cannot make a tun device";
    }
    const std::string name = request.ifr_name;
    const int control = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_EQ(ioctl(control, SIOCGIFFLAGS, &request), 0);
    request.ifr_flags |= IFF_UP;
    ASSERT_EQ(ioctl(control, SIOCSIFFLAGS, &request), 0);
    close(control);

    Received received;
    auto session = EtherCapture::make(name, 1, "udp src port 8801", 96, false, received.callback());
    EXPECT_EQ(session->datalink(), DLT_RAW);
    // 10.201.0.1:8801 > 10.201.0.2:40125, as if it came from the VPN's far end.
    const ByteSlice packet =
        TestSupport::hex("45000024 0001 0000 4011 0000 0ac90001 0ac90002 2261 9cbd 0010 0000 74696465 6d61726b");
    for (int i = 0; i < 20 && !received.waitFor(1, 100ms); ++i) {
        ASSERT_EQ(write(tun, packet.bytes().data(), packet.count()), static_cast<ssize_t>(packet.count()));
    }
    ASSERT_TRUE(received.waitFor(1, 5s));
    ASSERT_TRUE(session->waitUntilFinished(5s));
    close(tun);
    std::lock_guard lock(received.mutex);
    const Frame& frame = received.frames[0];
    EXPECT_EQ(frame.frameFormat, FrameFormat::rawIp);
    EXPECT_EQ(frame.layer3.description(), "IPv4 10.201.0.1 > 10.201.0.2 ipProt 17");
    EXPECT_EQ(frame.description(), "rawIp IPv4 10.201.0.1 > 10.201.0.2 ipProt 17 8801 > 40125 length 16");
}

TEST(EtherCapture, PingOnLoopbackDecodesToAnEchoRequest) {
    REQUIRE_CAPTURE_RIGHTS();
    if (std::system("command -v ping > /dev/null") != 0) GTEST_SKIP() << "ping is not installed";
    Received received;
    auto session = EtherCapture::make("lo", 1, "icmp and icmp[icmptype] = icmp-echo", 256, false, received.callback());
    ASSERT_EQ(std::system("ping -c 1 -W 1 -e 4660 127.0.0.1 > /dev/null 2>&1"), 0);
    ASSERT_TRUE(received.waitFor(1, 5s));
    ASSERT_TRUE(session->waitUntilFinished(5s));
    std::lock_guard lock(received.mutex);
    const Frame& frame = received.frames.at(0);
    ASSERT_TRUE(frame.layer4() && frame.layer4()->icmp4()) << frame.description();
    const Icmp4& icmp = *frame.layer4()->icmp4();
    EXPECT_EQ(icmp.icmpType, Icmp4Type(icmp4::EchoRequest{4660, 1}));
    EXPECT_EQ(icmp.payload.count(), 56u);  // ping's default data size
    EXPECT_EQ(icmp.startIndex[Field::identifier], 38u);
}

TEST(EtherCapture, CancelEndsALoopThatSeesNoTraffic) {
    REQUIRE_CAPTURE_RIGHTS();
    TestSupport::LogCapture log;
    Received received;
    auto session = EtherCapture::make("lo", 0, quietFilter, 96, false, received.callback());
    EXPECT_TRUE(session->isRunning());
    std::this_thread::sleep_for(50ms);
    session->cancel();
    EXPECT_TRUE(session->waitUntilFinished(5s));
    EXPECT_FALSE(session->isRunning());
    session->cancel();  // after the end: harmless
    EXPECT_TRUE(received.frames.empty());
    auto messages = log.messages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "warning: EtherCapture.cancel: Cancelling pcap_loop"), 2);
}

TEST(EtherCapture, OpeningErrors) {
    REQUIRE_CAPTURE_RIGHTS();
    std::string description;
    EXPECT_EQ(errorCaseOf([] { EtherCapture::make("nosuchdev0", 1, "udp", 96, false, [](const Frame&) {}); },
                          &description),
              EtherCaptureError::Case::pcap_open_live_failed);
    EXPECT_EQ(description.rfind("pcap_open_live failed with error ", 0), 0u) << description;
    EXPECT_GT(description.size(), std::string("pcap_open_live failed with error ").size());

    EXPECT_EQ(errorCaseOf([] { EtherCapture::make("lo", 1, "udp src port", 96, false, [](const Frame&) {}); },
                          &description),
              EtherCaptureError::Case::pcap_compile_failed);
    EXPECT_EQ(description.rfind("pcap_compile failed with error ", 0), 0u) << description;

    EXPECT_EQ(errorCaseOf([] { EtherCapture::make("lo", 1, "udp", std::int64_t{1} << 40, false, [](const Frame&) {}); }),
              EtherCaptureError::Case::genericError);
}

TEST(EtherCapture, ThreeHundredSessionsInARowLeakNothing) {
    REQUIRE_CAPTURE_RIGHTS();
    // A warm-up session lets libpcap and the logger make their one-time allocations.
    auto warmUp = EtherCapture::make("lo", 0, quietFilter, 96, false, [](const Frame&) {});
    warmUp->cancel();
    ASSERT_TRUE(warmUp->waitUntilFinished(5s));
    // A failing open must not leak either.
    for (int i = 0; i < 20; ++i) {
        EXPECT_THROW(EtherCapture::make("lo", 1, "udp src port", 96, false, [](const Frame&) {}), EtherCaptureError);
    }
    const std::size_t before = openDescriptors();
    for (int i = 0; i < 300; ++i) {
        auto session = EtherCapture::make("lo", 0, quietFilter, 96, false, [](const Frame&) {});
        session->cancel();
        ASSERT_TRUE(session->waitUntilFinished(5s)) << "session " << i;
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST(EtherCapture, AtMost255SessionsRunAtOnce) {
    REQUIRE_CAPTURE_RIGHTS();
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    std::vector<std::shared_ptr<EtherCapture>> sessions;
    std::string description;
    try {
        for (std::size_t i = 0; i < EtherCapture::maxSessions; ++i) {
            sessions.push_back(EtherCapture::make("lo", 0, quietFilter, 96, false, [](const Frame&) {}));
        }
        EXPECT_EQ(errorCaseOf([] { EtherCapture::make("lo", 0, quietFilter, 96, false, [](const Frame&) {}); },
                              &description),
                  EtherCaptureError::Case::pcap_max_captures_exceeded);
        EXPECT_EQ(description, "pcap max captures exceeded");
    } catch (const EtherCaptureError& error) {
        ADD_FAILURE() << "session " << sessions.size() << ": " << error.description();
    }
    for (auto& session : sessions) session->cancel();
    for (auto& session : sessions) EXPECT_TRUE(session->waitUntilFinished(5s));
    // Ended sessions give their places back.
    auto again = EtherCapture::make("lo", 0, quietFilter, 96, false, [](const Frame&) {});
    again->cancel();
    EXPECT_TRUE(again->waitUntilFinished(5s));
}

TEST(EtherCapture, InterfacesAndVersion) {
    auto names = EtherCapture::listInterfaces();
    ASSERT_TRUE(names);
    if (canCaptureOnLoopback()) {
        EXPECT_NE(std::find(names->begin(), names->end(), "lo"), names->end());
        EXPECT_FALSE(EtherCapture::lookupDefaultInterface().empty());
    }
    EXPECT_EQ(EtherCapture::pcapLibraryVersion().rfind("libpcap version ", 0), 0u);
}

TEST(MakePcapFile, ReadsBackThroughLibpcap) {
    EXPECT_TRUE(makePcapFile({}).empty());

    std::vector<Frame> frames;
    std::vector<std::uint8_t> sixty(60, 0xab);
    frames.emplace_back(ByteSlice(sixty), Timeval{1700000000, 5}, 60, 1);
    std::vector<std::uint8_t> larger(90);
    for (std::size_t i = 0; i < larger.size(); ++i) larger[i] = static_cast<std::uint8_t>(i);
    frames.emplace_back(ByteSlice(larger), Timeval{2147483647, 999999}, 1514, 2);

    ByteSlice one = makePcapFile({frames[0]});
    EXPECT_EQ(one.count(), 100u);
    ByteSlice file = makePcapFile(frames);
    EXPECT_EQ(file.count(), 24u + 16u + 60u + 16u + 90u);

    char path[] = "/tmp/tidemark-pcap-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, file.bytes().data(), file.count()), static_cast<ssize_t>(file.count()));
    close(fd);

    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* reader = pcap_open_offline(path, errbuf);
    ASSERT_NE(reader, nullptr) << errbuf;
    EXPECT_EQ(pcap_datalink(reader), DLT_EN10MB);
    EXPECT_EQ(pcap_snapshot(reader), 90);
    pcap_pkthdr* header = nullptr;
    const u_char* bytes = nullptr;
    for (const Frame& frame : frames) {
        ASSERT_EQ(pcap_next_ex(reader, &header, &bytes), 1);
        EXPECT_EQ(header->caplen, frame.data.count());
        EXPECT_EQ(static_cast<std::int64_t>(header->len), frame.originalLength);
        auto micros = std::int64_t{header->ts.tv_sec} * 1'000'000 + header->ts.tv_usec;
        EXPECT_EQ(micros, frame.date.time_since_epoch().count());
        EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + header->caplen), frame.data.toVector());
    }
    EXPECT_EQ(pcap_next_ex(reader, &header, &bytes), PCAP_ERROR_BREAK);
    pcap_close(reader);
    unlink(path);
}

TEST(MakePcapFile, RefusesDatesACaptureFileCannotHold) {
    std::vector<std::uint8_t> bytes(60);
    for (std::int64_t seconds : {std::int64_t{-1}, std::int64_t{4294967296}}) {
        std::vector<Frame> frames{Frame(ByteSlice(bytes), Timeval{seconds, 0}, 60, 1)};
        try {
            makePcapFile(frames);
            ADD_FAILURE() << "accepted second " << seconds;
        } catch (const DecodeError& error) {
            EXPECT_NE(error.message().find("outside the range of a capture file"), std::string::npos) << error.what();
        }
    }
}
