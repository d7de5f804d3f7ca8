#include <ZuzizavAdiduDazorud/EtherCapture.h>

#include <ZuzizavAdiduDazorud/LibraryLogger.h>

#include <pcap/pcap.h>
#include <poll.h>

#include <cstring>
#include <limits>
#include <system_error>
#include <thread>

namespace ZuzizavAdiduDazorud {

namespace {

// Calls a user's callback from libpcap's loop, which an exception must not unwind through.
template <typename Call>
void callGuarded(Call&& call) {
    try {
        call();
    } catch (const std::exception& error) {
        logError([&] { return std::string("EtherCapture callback failed: ") + error.what(); });
    } catch (...) {
        logError([] { return "EtherCapture callback failed"; });
    }
}

// Callbacks of running sessions, by index. A slot is freed when its loop ends.
class SessionTable {
public:
    std::optional<std::uint8_t> add(EtherCapture::Callback callback) {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            if (!slots_[i]) {
                slots_[i] = std::make_shared<const EtherCapture::Callback>(std::move(callback));
                return static_cast<std::uint8_t>(i);
            }
        }
        return std::nullopt;
    }

    void remove(std::uint8_t index) {
        std::lock_guard lock(mutex_);
        if (index < slots_.size()) slots_[index].reset();
    }

    std::shared_ptr<const EtherCapture::Callback> find(std::uint8_t index) const {
        std::lock_guard lock(mutex_);
        if (index >= slots_.size()) return nullptr;
        return slots_[index];
    }

private:
    mutable std::mutex mutex_;
    std::array<std::shared_ptr<const EtherCapture::Callback>, EtherCapture::maxSessions> slots_;
};

// Never destroyed: loops may still run while the process exits.
SessionTable& sessionTable() {
    static SessionTable* table = new SessionTable();
    return *table;
}

std::string handleError(pcap_t* pcap) {
    const char* text = pcap ? pcap_geterr(pcap) : nullptr;
    return text && *text ? std::string(text) : std::string("unknown error");
}

}  // namespace

std::shared_ptr<EtherCapture> EtherCapture::make(const std::string& interface, std::int32_t count,
                                                 const std::string& command, std::int64_t snaplen, bool promiscuous,
                                                 Callback callback) {
    std::shared_ptr<EtherCapture> session(new EtherCapture());
    session->openHandle(interface, count, command, snaplen, promiscuous);
    session->registerCallback(std::move(callback));
    {
        std::lock_guard lock(session->stateMutex_);
        session->running_ = true;
    }
    // The worker holds the session until its loop returns.
    try {
        std::thread([session, count] {
            session->runLoop(count, &EtherCapture::handlePacket, reinterpret_cast<u_char*>(session.get()));
        }).detach();
    } catch (const std::system_error& error) {
        std::lock_guard lock(session->stateMutex_);
        session->running_ = false;
        throw EtherCaptureError::genericError(std::string("cannot start the capture thread: ") + error.what());
    }
    return session;
}

std::shared_ptr<EtherCapture> EtherCapture::open(const std::string& interface, const std::string& command,
                                                 std::int64_t snaplen, bool promiscuous) {
    std::shared_ptr<EtherCapture> session(new EtherCapture());
    session->openHandle(interface, std::nullopt, command, snaplen, promiscuous);
    return session;
}

void EtherCapture::claimLoop() {
    std::lock_guard lock(stateMutex_);
    if (!pcap_ || running_) throw EtherCaptureError::genericError("the capture is not open, or already running");
    running_ = true;
}

void EtherCapture::runHere(std::int32_t count, Callback callback, Idle idle) {
    claimLoop();
    try {
        registerCallback(std::move(callback));
    } catch (...) {
        std::lock_guard lock(stateMutex_);
        running_ = false;
        throw;
    }
    runLoop(count, &EtherCapture::handlePacket, reinterpret_cast<u_char*>(this), idle);
}

void EtherCapture::runRecordsHere(std::int32_t count, RecordCallback callback, Idle idle) {
    claimLoop();
    runLoop(count, &EtherCapture::handleRecord, reinterpret_cast<u_char*>(&callback), idle);
}

void EtherCapture::registerCallback(Callback callback) {
    auto index = sessionTable().add(std::move(callback));
    if (!index) throw EtherCaptureError::pcap_max_captures_exceeded();
    indexByte_ = *index;
    registered_ = true;
    Frame::resetFrameCounter();
}

void EtherCapture::openHandle(const std::string& interface, std::optional<std::int32_t> count, const std::string& command,
                              std::int64_t snaplen, bool promiscuous) {
    // A session opened without a loop (open()) has no count yet: the line does not claim one.
    logWarning([&] {
        return "Executing netpeek on interface " + interface + (count ? " count " + std::to_string(*count) : std::string()) +
               " snaplen " + std::to_string(snaplen) + " promiscuous " + (promiscuous ? "true" : "false") + " command " + command;
    });
    if (snaplen < std::numeric_limits<std::int32_t>::min() || snaplen > std::numeric_limits<std::int32_t>::max()) {
        throw EtherCaptureError::genericError("snaplen " + std::to_string(snaplen) + " is outside the 32-bit range");
    }

    snaplen_ = snaplen;
    pcap_ = pcap_open_live(interface.c_str(), static_cast<int>(snaplen), promiscuous ? 1 : 0, 1000, errbuf_.data());
    if (!pcap_) throw EtherCaptureError::pcap_open_live_failed(errbuf_.data());
    // From here on a failure closes the handle and frees the filter (see the destructor).

    // An interface without an IPv4 address (an IPv6-only VPN, a bridge port) has no netmask; only
    // filters on "broadcast" need one, so go on without it, as tcpdump does.
    if (pcap_lookupnet(interface.c_str(), &network_, &netmask_, errbuf_.data()) < 0) {
        logWarning([&] { return std::string("pcap_lookupnet: ") + errbuf_.data() + "; going on without a netmask"; });
        network_ = 0;
        netmask_ = PCAP_NETMASK_UNKNOWN;
    }

    fcode_ = std::make_unique<bpf_program>();
    if (pcap_compile(pcap_, fcode_.get(), command.c_str(), 1, netmask_) < 0) {
        fcode_.reset();
        throw EtherCaptureError::pcap_compile_failed(handleError(pcap_));
    }
    if (pcap_setfilter(pcap_, fcode_.get()) < 0) throw EtherCaptureError::pcap_setfilter_failed(handleError(pcap_));

    datalink_ = pcap_datalink(pcap_);
    if (!isDecodable(datalink_)) {
        throw EtherCaptureError::unsupported_datalink(std::to_string(datalink_));
    }
}

void EtherCapture::runLoop(std::int32_t count, Handler handler, u_char* user, const Idle& idle) {
    if (!idle) {
        pcap_loop(pcap_, count, handler, user);
    } else {
        // libpcap may block for as long as nothing arrives: wait on its descriptor with a time-out of
        // our own, then take what is there without blocking. cancel() is seen within one wait.
        char errbuf[PCAP_ERRBUF_SIZE] = {};
        const int fd = pcap_get_selectable_fd(pcap_);
        if (fd < 0 || pcap_setnonblock(pcap_, 1, errbuf) < 0) {
            logError([&] { return std::string("cannot wait on the capture: ") + errbuf; });
        } else {
            std::int64_t left = count > 0 ? count : -1;
            for (;;) {
                pollfd ready{fd, POLLIN, 0};
                poll(&ready, 1, static_cast<int>(idleInterval.count()));
                // libpcap sees cancel() only while packets come: a quiet capture is told here.
                if (cancelRequested_) break;
                const int handled = pcap_dispatch(pcap_, left > 0 ? static_cast<int>(left) : -1, handler, user);
                if (handled < 0) break;  // an error, or cancel()
                if (left > 0 && (left -= handled) <= 0) break;
                callGuarded(idle);
            }
        }
    }
    std::lock_guard lock(stateMutex_);
    finalStatistics_ = readStatistics();
    release();
    running_ = false;
    finished_.notify_all();
}

void EtherCapture::release() {
    if (registered_) {
        sessionTable().remove(indexByte_);
        registered_ = false;
    }
    if (fcode_) {
        pcap_freecode(fcode_.get());
        fcode_.reset();
    }
    if (pcap_) {
        pcap_close(pcap_);
        pcap_ = nullptr;
    }
}

EtherCapture::~EtherCapture() {
    // Reached with an open handle only when the constructor failed: no loop ever ran.
    release();
}

// libpcap's packet handler: decodes the packet and hands it to the session's callback.
void EtherCapture::handlePacket(u_char* user, const pcap_pkthdr* header, const u_char* bytes) {
    if (!header || !bytes || !user) return;
    const auto* session = reinterpret_cast<const EtherCapture*>(user);
    Frame frame(static_cast<LinkType>(session->datalink_), ByteSlice(bytes, header->caplen),
                Timeval{static_cast<std::int64_t>(header->ts.tv_sec), static_cast<std::int32_t>(header->ts.tv_usec)},
                static_cast<std::int64_t>(header->len));
    std::shared_ptr<const Callback> callback = sessionTable().find(session->indexByte_);
    if (!callback || !*callback) {
        logError([] { return "Invalid ZuzizavAdiduDazorud callback"; });
        return;
    }
    callGuarded([&] { (*callback)(frame); });
}

// libpcap's packet handler for runRecordsHere(): the packet as it came.
void EtherCapture::handleRecord(u_char* user, const pcap_pkthdr* header, const u_char* bytes) {
    if (!header || !bytes || !user) return;
    const PcapRecord record{
        Timeval{static_cast<std::int64_t>(header->ts.tv_sec), static_cast<std::int32_t>(header->ts.tv_usec)},
        header->len, std::span<const std::uint8_t>(bytes, header->caplen)};
    callGuarded([&] { (*reinterpret_cast<const RecordCallback*>(user))(record); });
}

void EtherCapture::cancel() {
    logWarning([] { return "EtherCapture.cancel: Cancelling pcap_loop"; });
    std::lock_guard lock(stateMutex_);
    cancelRequested_ = true;
    if (pcap_) pcap_breakloop(pcap_);
}

bool EtherCapture::waitUntilFinished(std::chrono::milliseconds timeout) {
    std::unique_lock lock(stateMutex_);
    return finished_.wait_for(lock, timeout, [this] { return !running_; });
}

std::optional<CaptureStatistics> EtherCapture::readStatistics() const {
    pcap_stat counters{};
    if (!pcap_ || pcap_stats(pcap_, &counters) < 0) return std::nullopt;
    return CaptureStatistics{counters.ps_recv, counters.ps_drop, counters.ps_ifdrop};
}

std::optional<CaptureStatistics> EtherCapture::statistics() const {
    std::lock_guard lock(stateMutex_);
    return pcap_ ? readStatistics() : finalStatistics_;
}

bool EtherCapture::isRunning() const {
    std::lock_guard lock(stateMutex_);
    return running_;
}

std::optional<std::vector<std::string>> EtherCapture::listInterfaces() {
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t* devices = nullptr;
    if (pcap_findalldevs(&devices, errbuf) == -1) {
        logError([&] { return std::string("pcap_findalldevs error ") + errbuf; });
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (pcap_if_t* d = devices; d; d = d->next) {
        if (d->name) names.emplace_back(d->name);
    }
    if (devices) pcap_freealldevs(devices);
    return names;
}

std::string EtherCapture::lookupDefaultInterface() {
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t* devices = nullptr;
    if (pcap_findalldevs(&devices, errbuf) == -1) throw EtherCaptureError::pcap_lookupdev_failed(errbuf);
    std::optional<std::string> name;
    if (devices && devices->name) name = devices->name;
    if (devices) pcap_freealldevs(devices);
    if (!name) throw EtherCaptureError::pcap_lookupdev_failed("no suitable device found");
    return *name;
}

std::string EtherCapture::pcapLibraryVersion() {
    const char* version = pcap_lib_version();
    return version ? std::string(version) : std::string("unknown");
}

}  // namespace ZuzizavAdiduDazorud
