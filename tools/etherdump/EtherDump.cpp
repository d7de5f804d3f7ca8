#include "EtherDump.h"

#include "EtherCapture.h"
#include "Extensions/TextAppend.h"

#include <pcap/pcap.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <mutex>

namespace EtherDump {

using ZuzizavAdiduDazorud::ByteSlice;
using ZuzizavAdiduDazorud::EtherCapture;
using ZuzizavAdiduDazorud::EtherCaptureError;
using ZuzizavAdiduDazorud::Frame;
using ZuzizavAdiduDazorud::Timeval;

const char* usage() {
    return "usage: etherdump [-v] [-x] [-c COUNT] [-w FILE] (-r FILE | -i INTERFACE) [FILTER EXPRESSION]\n"
           "  -r FILE       read frames from a classic pcap file\n"
           "  -i INTERFACE  capture live (needs capture rights)\n"
           "  -c COUNT      stop after COUNT frames\n"
           "  -v            also print the verbose text of every layer\n"
           "  -x            also print the hex dump of every frame\n"
           "  -w FILE       write the frames read to a pcap file\n";
}

Parsed parseArguments(const std::vector<std::string>& arguments) {
    Options options;
    std::vector<std::string> filter;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= arguments.size()) return std::nullopt;
            return arguments[++i];
        };
        if (a == "-h" || a == "--help") {
            options.help = true;
        } else if (a == "-v") {
            options.verbose = true;
        } else if (a == "-x") {
            options.hexdump = true;
        } else if (a == "-vx" || a == "-xv") {
            options.verbose = options.hexdump = true;
        } else if (a == "-r" || a == "-i" || a == "-w" || a == "-c") {
            auto v = value();
            if (!v) return {std::nullopt, "option " + a + " needs a value"};
            if (a == "-r") options.readFile = *v;
            if (a == "-i") options.interface = *v;
            if (a == "-w") options.writeFile = *v;
            if (a == "-c") {
                char* end = nullptr;
                long long count = std::strtoll(v->c_str(), &end, 10);
                if (v->empty() || *end != '\0' || count <= 0) return {std::nullopt, "-c needs a positive number, not " + *v};
                options.count = count;
            }
        } else if (!a.empty() && a[0] == '-') {
            return {std::nullopt, "unknown option " + a};
        } else {
            filter.push_back(a);
        }
    }
    for (std::size_t i = 0; i < filter.size(); ++i) options.filter += (i ? " " : "") + filter[i];
    if (!options.help && options.readFile.has_value() == options.interface.has_value()) {
        return {std::nullopt, "give exactly one of -r FILE and -i INTERFACE"};
    }
    return {options, ""};
}

void render(const Frame& frame, const Options& options, std::string& out) {
    ZuzizavAdiduDazorud::text::LineWriter line(out);
    render(frame, options, line);
}

void render(const Frame& frame, const Options& options, ZuzizavAdiduDazorud::text::LineWriter& line) {
    char* p = line.reserve(21);
    p = ZuzizavAdiduDazorud::text::writeDecimal(p, static_cast<std::uint64_t>(frame.frameNumber));
    *p++ = ' ';
    line.commit(p);
    frame.appendDescription(line);
    line << '\n';
    if (options.verbose) {
        line << "  " << frame.verboseDescription() << "\n  " << frame.layer3.verboseDescription() << '\n';
        if (const auto* layer4 = frame.layer4(); layer4 && !layer4->isNoLayer4()) {
            line << "  " << layer4->verboseDescription() << '\n';
        }
    }
    if (options.hexdump) line << frame.hexdump();
}

namespace {

std::atomic<bool> interrupted{false};
extern "C" void onInterrupt(int) { interrupted = true; }

struct PcapCloser {
    void operator()(pcap_t* p) const { pcap_close(p); }
};

bool writeFile(const std::string& path, const std::vector<Frame>& frames, std::FILE* err) {
    ByteSlice bytes;
    try {
        bytes = EtherCapture::makePcapFile(frames);
    } catch (const EtherCaptureError& error) {
        std::fprintf(err, "etherdump: cannot write %s: %s\n", path.c_str(), error.description().c_str());
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(err, "etherdump: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    const bool ok = std::fwrite(bytes.bytes().data(), 1, bytes.count(), file) == bytes.count();
    const bool closed = std::fclose(file) == 0;
    if (!ok || !closed) {
        std::fprintf(err, "etherdump: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

int readFile(const Options& options, std::FILE* out, std::FILE* err) {
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    std::unique_ptr<pcap_t, PcapCloser> pcap(pcap_open_offline(options.readFile->c_str(), errbuf));
    if (!pcap) {
        std::fprintf(err, "etherdump: %s\n", errbuf);
        return 1;
    }
    const int link = pcap_datalink(pcap.get());
    if (link != DLT_EN10MB && link != DLT_IEEE802_11) {
        std::fprintf(err, "etherdump: %s: unsupported link type %d (Ethernet only)\n", options.readFile->c_str(), link);
        return 1;
    }
    if (!options.filter.empty()) {
        bpf_program program{};
        if (pcap_compile(pcap.get(), &program, options.filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) < 0) {
            std::fprintf(err, "etherdump: bad filter \"%s\": %s\n", options.filter.c_str(), pcap_geterr(pcap.get()));
            return 1;
        }
        const int set = pcap_setfilter(pcap.get(), &program);
        pcap_freecode(&program);
        if (set < 0) {
            std::fprintf(err, "etherdump: cannot set filter: %s\n", pcap_geterr(pcap.get()));
            return 1;
        }
    }

    const bool progress = isatty(fileno(err));
    const auto start = std::chrono::steady_clock::now();
    auto lastProgress = start;
    std::vector<Frame> kept;
    std::string text;
    text.reserve(1 << 16);
    ZuzizavAdiduDazorud::text::LineWriter line(text);
    pcap_pkthdr* header = nullptr;
    const u_char* bytes = nullptr;
    std::int64_t number = 0;
    int status = 0;
    while ((options.count == 0 || number < options.count) && !interrupted &&
           (status = pcap_next_ex(pcap.get(), &header, &bytes)) == 1) {
        ++number;
        Frame frame(ByteSlice(bytes, header->caplen),
                    Timeval{static_cast<std::int64_t>(header->ts.tv_sec), static_cast<std::int32_t>(header->ts.tv_usec)},
                    static_cast<std::int64_t>(header->len), number);
        render(frame, options, line);
        if (text.size() > (1 << 16) - 4096) {
            std::fwrite(text.data(), 1, text.size(), out);
            text.clear();
        }
        if (options.writeFile) kept.push_back(std::move(frame));
        if (progress && (number & 0x3fff) == 0) {
            const auto now = std::chrono::steady_clock::now();
            if (now - start > std::chrono::seconds(2) && now - lastProgress > std::chrono::milliseconds(500)) {
                lastProgress = now;
                const double seconds = std::chrono::duration<double>(now - start).count();
                std::fprintf(err, "\r%lld frames, %.0f frames/s", static_cast<long long>(number), number / seconds);
                std::fflush(err);
            }
        }
    }
    line.flush();
    std::fwrite(text.data(), 1, text.size(), out);
    if (progress && lastProgress != start) std::fprintf(err, "\n");
    if (status == PCAP_ERROR) {
        std::fprintf(err, "etherdump: %s: %s\n", options.readFile->c_str(), pcap_geterr(pcap.get()));
        return 1;
    }
    if (std::fflush(out) != 0) {
        std::fprintf(err, "etherdump: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    if (options.writeFile && !writeFile(*options.writeFile, kept, err)) return 1;
    return 0;
}

int capture(const Options& options, std::FILE* out, std::FILE* err) {
    std::mutex mutex;
    std::vector<Frame> kept;
    std::string text;
    std::shared_ptr<EtherCapture> session;
    try {
        session = EtherCapture::make(*options.interface, static_cast<std::int32_t>(options.count),
                                     options.filter, 65535, false, [&](const Frame& frame) {
                                         std::lock_guard lock(mutex);
                                         text.clear();
                                         render(frame, options, text);
                                         std::fwrite(text.data(), 1, text.size(), out);
                                         std::fflush(out);
                                         if (options.writeFile) kept.push_back(frame);
                                     });
    } catch (const EtherCaptureError& error) {
        std::fprintf(err, "etherdump: %s\n", error.description().c_str());
        return 1;
    }
    while (!session->waitUntilFinished(std::chrono::milliseconds(100))) {
        if (interrupted) session->cancel();
    }
    std::lock_guard lock(mutex);
    if (options.writeFile && !writeFile(*options.writeFile, kept, err)) return 1;
    return 0;
}

}  // namespace

int run(const Options& options, std::FILE* out, std::FILE* err) {
    interrupted = false;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    return options.readFile ? readFile(options, out, err) : capture(options, out, err);
}

}  // namespace EtherDump
