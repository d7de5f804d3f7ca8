// tidemark-capture: the one program that holds the capture capability. It opens one capture with the
// application's fixed parameters (the meeting services' filter, 128 bytes per packet, never promiscuous)
// and drops every capability as soon as the capture is open. It reads each datagram's headers and the
// first bytes of its payload to tell what it is (a connectivity check, media, or other), drops what says
// nothing of a meeting, and writes to standard output only observations: which way, which class, the
// remote address and port, the local port and how many datagrams, a flow's first at once and then its
// count once a second. No payload byte leaves it. Whoever runs it learns at most that much of UDP traffic
// that reaches or leaves this machine anyway.
//
// Installed setuid root (where a file system keeps no capabilities), it becomes the user who ran it before
// anything else, with CAP_NET_RAW alone, and drops that too once the capture is open.
//
// It ends with the process that started it: at once when that one is gone before it starts (its standard
// input, a pipe only the parent holds open, has hung up), and by SIGTERM when it goes later.
//
// usage: tidemark-capture [--interface NAME] [--count N]   (N packets, then it ends; default: until ended)
// exit codes: those of HelperExit (0 done, 1 other failure or bad usage, 2 permission denied, 3 no such
// device, 4 the open failed otherwise).
#include "CaptureRefusal.h"
#include "MediaPath.h"
#include "MeetingServices.h"

#include <ZuzizavAdiduDazorud/EtherCapture.h>
#include <ZuzizavAdiduDazorud/logging/LoggingSystem.h>
#include <ZuzizavAdiduDazorud/logging/StreamLogHandler.h>

#include <getopt.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>

namespace {

using ZuzizavAdiduDazorud::EtherCapture;
using ZuzizavAdiduDazorud::EtherCaptureError;
using Tidemark::HelperExit;

// Enough for the link, IP and UDP headers (VLAN tags and IPv6 included) and the payload's first bytes.
constexpr int snaplen = 128;

constexpr int done = static_cast<int>(HelperExit::done);
constexpr int failed = static_cast<int>(HelperExit::failed);

constexpr const char* usage = "usage: tidemark-capture [--interface NAME] [--count N]\n";

// The help names the one filter the helper captures with.
void printHelp() {
    std::printf("%sCaptures with the filter: %.*s\n", usage, static_cast<int>(Tidemark::captureFilter.size()),
                Tidemark::captureFilter.data());
}

// Clears the effective, permitted and inheritable sets and the ambient set, and keeps any later exec
// from gaining privileges. Only this thread exists, so the whole process is left without any.
bool dropCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capset, &header, data) != 0) return false;
    if (prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL) return false;
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
}

// Started setuid root (where file capabilities are impossible): becomes the user who ran it at once, before
// reading any argument, keeping CAP_NET_RAW alone until the capture is open. False when that fails.
bool becomeCaller() {
    uid_t real = 0, effective = 0, saved = 0;
    if (getresuid(&real, &effective, &saved) != 0) return false;
    if (effective != 0 || real == 0) return true;  // not started setuid root
    if (prctl(PR_SET_KEEPCAPS, 1, 0, 0, 0) != 0 || setresuid(real, real, real) != 0) return false;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    data[0].permitted = data[0].effective = 1u << CAP_NET_RAW;
    if (syscall(SYS_capset, &header, data) != 0) return false;
    return prctl(PR_SET_KEEPCAPS, 0, 0, 0, 0) == 0;
}

// Asks for SIGTERM when the parent ends (the kernel forgets the request when credentials change, so it
// is asked again after each change); false when the parent is already gone: standard input is a pipe
// whose other end only the parent held.
bool followParent() {
    if (prctl(PR_SET_PDEATHSIG, SIGTERM, 0, 0, 0) != 0) return false;
    pollfd input{STDIN_FILENO, 0, 0};
    return !(poll(&input, 1, 0) == 1 && (input.revents & POLLHUP));
}

// Writes all of `bytes` to standard output; false when the reader is gone.
bool writeOut(const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(STDOUT_FILENO, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The library's diagnostics, on standard error, only when something is wrong: a healthy capture says
// nothing, and a flood of malformed packets cannot fill the application's copy of it.
std::unique_ptr<Logging::LogHandler> errorsOnly(const std::string& label) {
    auto handler = Logging::StreamLogHandler::toStandardError(label);
    handler->setLogLevel(Logging::Logger::Level::critical);
    return handler;
}

}  // namespace

int main(int argc, char** argv) {
    if (!becomeCaller()) {
        std::fprintf(stderr, "tidemark-capture: cannot give up root: %s\n", std::strerror(errno));
        return failed;
    }
    // Dispositions may come in ignored from the parent: both signals end the helper at once.
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGPIPE, SIG_DFL);
    if (!followParent()) return failed;
    // Standard output carries the observations; the library's diagnostics go to standard error.
    Logging::LoggingSystem::setFactory(&errorsOnly);
    std::string interface = "any";
    long long count = 0;  // no limit
    static const option options[] = {
        {"interface", required_argument, nullptr, 'i'},
        {"count", required_argument, nullptr, 'c'},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, "+i:c:h", options, nullptr)) != -1) {
        switch (c) {
            case 'i': interface = optarg; break;
            case 'c': {
                char* end = nullptr;
                errno = 0;
                count = std::strtoll(optarg, &end, 10);
                if (errno || *end || count < 1 || count > INT_MAX) {
                    std::fprintf(stderr, "tidemark-capture: invalid count %s\n%s", optarg, usage);
                    return failed;
                }
                break;
            }
            case 'h': printHelp(); return done;
            default:
                // No other filter, no other snapshot length, nothing else.
                std::fprintf(stderr, "tidemark-capture: unknown or incomplete option %s\n%s", argv[optind - 1], usage);
                return failed;
        }
    }
    if (optind < argc) {
        std::fprintf(stderr, "tidemark-capture: unexpected argument %s\n%s", argv[optind], usage);
        return failed;
    }
    if (interface.empty() || interface.size() > 64 || interface.find('/') != std::string::npos) {
        std::fprintf(stderr, "tidemark-capture: invalid interface name\n%s", usage);
        return failed;
    }

    // SIGTERM (the application's cancel) ends the process as it comes: each record is written whole by
    // one write to a pipe, so none is left half written.
    std::shared_ptr<EtherCapture> session;
    try {
        session = EtherCapture::open(interface, std::string(Tidemark::captureFilter), snaplen, false);
    } catch (const EtherCaptureError& error) {
        // The reason goes out as the exit code; the text only for people.
        const std::string& message = error.message();
        std::fprintf(stderr, "%s\n", message.c_str());
        if (error.errorCase() != EtherCaptureError::Case::pcap_open_live_failed) return failed;
        return static_cast<int>(Tidemark::openRefusal(message));
    }
    if (!dropCapabilities()) {
        std::fprintf(stderr, "tidemark-capture: cannot drop capabilities: %s\n", std::strerror(errno));
        return failed;
    }
    if (!followParent()) return failed;

    // The header is out: the reader knows the capture is open.
    if (!writeOut(Tidemark::observationStreamHeader.data(), Tidemark::observationStreamHeader.size())) return failed;

    bool writeFailed = false;
    try {
        Tidemark::countDatagrams(*session, static_cast<std::int32_t>(count), [&](const Tidemark::Observation& observation) {
            const Tidemark::ObservationRecord record = Tidemark::encode(observation);
            if (!writeFailed && !writeOut(record.data(), record.size())) {
                // The reader went away: nothing more to do.
                writeFailed = true;
                session->cancel();
            }
        });
    } catch (const EtherCaptureError& error) {
        std::fprintf(stderr, "tidemark-capture: %s\n", error.description().c_str());
        return failed;
    }
    return writeFailed ? failed : done;
}
