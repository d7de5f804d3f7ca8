// tidemark-capture: the one program that holds the capture capability. It opens one capture with the
// application's fixed parameters (the meeting services' filter, 96 bytes per packet, never promiscuous),
// drops every capability as soon as the capture is open, and writes what it captures to standard output
// as a pcap stream, a packet at a time, each cut at the end of its UDP header. Whoever runs it learns at
// most the headers of UDP packets from the meeting services' media ports.
//
// Installed setuid root (where a file system keeps no capabilities), it becomes the user who ran it before
// anything else, with CAP_NET_RAW alone, and drops that too once the capture is open.
//
// It ends with the process that started it: at once when that one is gone before it starts (its standard
// input, a pipe only the parent holds open, has hung up), and by SIGTERM when it goes later.
//
// usage: tidemark-capture [--interface NAME] [--count N]
// exit codes: those of HelperExit (0 done, 1 other failure or bad usage, 2 permission denied, 3 no such
// device, 4 the open failed otherwise).
#include "CaptureRefusal.h"
#include "HeaderCut.h"
#include "MeetingServices.h"

#include <ZuzizavAdiduDazorud/EtherCapture.h>
#include <ZuzizavAdiduDazorud/PcapIO.h>
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
using ZuzizavAdiduDazorud::PcapRecord;
using ZuzizavAdiduDazorud::PcapWriter;
using Tidemark::HelperExit;

constexpr int snaplen = 96;

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
    // Standard output carries the capture; the library's diagnostics go to standard error.
    Logging::LoggingSystem::setFactory(&Logging::StreamLogHandler::toStandardError);
    std::string interface = "any";
    long long count = 1;
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

    // SIGTERM (the application's cancel) ends the process as it comes: every packet written so far has
    // been flushed whole.
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

    std::unique_ptr<PcapWriter> writer;
    try {
        writer = PcapWriter::open(stdout, session->datalink(), snaplen);
    } catch (const EtherCaptureError& error) {
        std::fprintf(stderr, "tidemark-capture: %s\n", error.message().c_str());
        return failed;
    }
    // The file header is out: the reader knows the capture is open.
    if (!writer->flush()) return failed;

    bool writeFailed = false;
    try {
        const int linkType = session->datalink();
        session->runRecordsHere(static_cast<int>(count), [&](const PcapRecord& record) {
            const std::size_t end = Tidemark::udpHeaderEnd(linkType, record.bytes);
            writer->write(PcapRecord{record.timeval, record.originalLength, record.bytes.first(end)});
            if (!writer->flush() && !writeFailed) {
                // The reader went away: nothing more to do.
                writeFailed = true;
                session->cancel();
            }
        });
    } catch (const EtherCaptureError& error) {
        std::fprintf(stderr, "tidemark-capture: %s\n", error.description().c_str());
        return failed;
    }
    const bool closed = writer->close();
    return writeFailed || !closed ? failed : done;
}
