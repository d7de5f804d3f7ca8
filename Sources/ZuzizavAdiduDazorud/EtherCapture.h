#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>
#include <ZuzizavAdiduDazorud/EtherCaptureError.h>
#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/PcapFile.h>
#include <ZuzizavAdiduDazorud/PcapIO.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// libpcap's types, kept out of this header so that users need no libpcap headers.
struct pcap;
struct bpf_program;
struct pcap_pkthdr;

namespace ZuzizavAdiduDazorud {

// Counters of a capture, as libpcap keeps them.
struct CaptureStatistics {
    std::uint64_t received = 0;  // packets the filter passed
    std::uint64_t dropped = 0;   // dropped by the kernel for want of buffer space
    std::uint64_t interfaceDropped = 0;
};

// A live capture over libpcap. The loop runs on a worker thread of its own, which decodes
// every packet into a Frame of the interface's link type and calls the callback there, never on the
// caller's thread. Interfaces of the link types a Frame decodes are accepted (Ethernet, 802.11,
// Linux cooked v1 and v2, raw IP, BSD loopback).
class EtherCapture : public std::enable_shared_from_this<EtherCapture> {
public:
    using Callback = std::function<void(const Frame&)>;

    // Sessions registered at once, at most.
    static constexpr std::size_t maxSessions = 255;

    // Opens the interface, installs the filter and starts the loop; throws EtherCaptureError.
    // count <= 0 captures without limit.
    static std::shared_ptr<EtherCapture> make(const std::string& interface, std::int32_t count,
                                              const std::string& command, std::int64_t snaplen, bool promiscuous,
                                              Callback callback);

    // Opens the interface and installs the filter, but starts no loop: for a caller that has something
    // to do in between (drop privileges) and then runs the loop itself with runHere().
    static std::shared_ptr<EtherCapture> open(const std::string& interface, const std::string& command,
                                              std::int64_t snaplen, bool promiscuous);
    // Runs the loop of an opened session on the calling thread until `count` packets (<= 0: no limit) or
    // cancel(); the callback is called on this thread. `idle`, when given, is called on this thread too
    // after each batch of packets and at least every idleInterval while none arrive: for work that must
    // happen even then. Throws EtherCaptureError.
    using Idle = std::function<void()>;
    static constexpr std::chrono::milliseconds idleInterval{250};
    void runHere(std::int32_t count, Callback callback, Idle idle = {});

    using RecordCallback = std::function<void(const PcapRecord& record)>;
    // As runHere(), but hands each packet over as libpcap captured it, without decoding it: for a caller
    // that only passes packets on.
    void runRecordsHere(std::int32_t count, RecordCallback callback, Idle idle = {});

    ~EtherCapture();
    EtherCapture(const EtherCapture&) = delete;
    EtherCapture& operator=(const EtherCapture&) = delete;

    // Asks the loop to stop; safe from any thread, also after the loop has ended.
    void cancel();

    // Waits until the loop has returned and the handle is closed; false on time-out.
    bool waitUntilFinished(std::chrono::milliseconds timeout);
    bool isRunning() const;

    std::int32_t datalink() const { return datalink_; }
    std::int64_t snaplen() const { return snaplen_; }
    const std::vector<std::string>& interfaceNames() const { return interfaceNames_; }
    std::int64_t packetCount() const { return packetCount_; }
    // The counters while the loop runs, and as they stood when it ended; none when libpcap has none.
    std::optional<CaptureStatistics> statistics() const;

    // Names of all capture devices, or none when libpcap cannot list them.
    static std::optional<std::vector<std::string>> listInterfaces();
    // libpcap's default capture device; throws pcap_lookupdev_failed.
    static std::string lookupDefaultInterface();
    static std::string pcapLibraryVersion();

private:
    EtherCapture() = default;
    void openHandle(const std::string& interface, std::optional<std::int32_t> count, const std::string& command,
                    std::int64_t snaplen, bool promiscuous);
    void registerCallback(Callback callback);
    using Handler = void (*)(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes);
    void claimLoop();
    void runLoop(std::int32_t count, Handler handler, unsigned char* user, const Idle& idle = {});
    void release();
    std::optional<CaptureStatistics> readStatistics() const;
    static void handlePacket(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes);
    static void handleRecord(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes);

    std::array<char, 256> errbuf_{};
    std::int32_t datalink_ = 0;
    std::int64_t snaplen_ = 0;
    std::vector<std::string> interfaceNames_;
    pcap* pcap_ = nullptr;
    std::unique_ptr<bpf_program> fcode_;
    std::int64_t packetCount_ = 0;

    std::uint8_t indexByte_ = 0;
    bool registered_ = false;
    std::uint32_t network_ = 0;
    std::uint32_t netmask_ = 0;

    mutable std::mutex stateMutex_;
    std::condition_variable finished_;
    bool running_ = false;
    std::atomic<bool> cancelRequested_{false};
    std::optional<CaptureStatistics> finalStatistics_;
};

}  // namespace ZuzizavAdiduDazorud
