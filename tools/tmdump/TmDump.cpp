#include "TmDump.h"

#include <ZuzizavAdiduDazorud/EtherCapture.h>
#include <ZuzizavAdiduDazorud/PcapIO.h>
#include <ZuzizavAdiduDazorud/Version.h>

#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>

namespace TmDump {

using ZuzizavAdiduDazorud::Date;
using ZuzizavAdiduDazorud::EtherCapture;
using ZuzizavAdiduDazorud::EtherCaptureError;
using ZuzizavAdiduDazorud::Frame;
using ZuzizavAdiduDazorud::PcapReader;
using ZuzizavAdiduDazorud::PcapRecord;
using ZuzizavAdiduDazorud::PcapWriter;
using ZuzizavAdiduDazorud::text::LineWriter;
namespace text = ZuzizavAdiduDazorud::text;

namespace {

constexpr std::int64_t maximumSnaplen = 262144;

std::optional<std::int64_t> parseInteger(const char* text) {
    if (!text || !*text) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return value;
}

}  // namespace

const char* usage() {
    return "Usage: tmdump [-DehnpqUvx#] [-t | -tt | -ttt | -tttt | -ttttt] [-c count] [-i interface]\n"
           "              [-r file] [-s snaplen] [-w file] [expression]\n"
           "  -r FILE       read a capture file (pcap or pcapng); - reads standard input\n"
           "  -i INTERFACE  capture live on INTERFACE (default: libpcap's default device)\n"
           "  -c COUNT      stop after COUNT frames\n"
           "  -w FILE       write the frames to a pcap file as they come; - writes standard output.\n"
           "                Frames are then not printed, unless -v or -x asks for them\n"
           "  -U            flush the -w file after every frame\n"
           "  -s SNAPLEN    capture at most SNAPLEN bytes per frame (default and 0: 262144)\n"
           "  -p            do not put the interface into promiscuous mode\n"
           "  -t            no time stamps; -tt seconds since 1970; -ttt time since the previous frame;\n"
           "                -tttt date and time; -ttttt time since the first frame\n"
           "  -#            print each frame's number\n"
           "  -q            quiet: leave out the link-layer text\n"
           "  -v            also print the verbose text of every layer\n"
           "  -x            also print the hex dump of every frame\n"
           "  -e, -n        accepted: link-layer fields are always shown, addresses never resolved\n"
           "  -D            list the capture devices\n"
           "  --version     print the versions of tmdump, its packet library and libpcap\n"
           "  -h, --help    print this text\n"
           "The expression is a libpcap filter, for files and live capture alike.\n";
}

std::string versionText() {
    return std::string("tmdump version ") + ZuzizavAdiduDazorud::libraryVersion + "\nZuzizavAdiduDazorud version " +
           ZuzizavAdiduDazorud::libraryVersion + "\n" + EtherCapture::pcapLibraryVersion() + "\n";
}

Parsed parseArguments(const std::vector<std::string>& arguments) {
    std::vector<std::string> storage;
    storage.reserve(arguments.size() + 1);
    storage.emplace_back("tmdump");
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : storage) argv.push_back(argument.data());
    argv.push_back(nullptr);

    enum LongOnly { versionOption = 1000 };
    static const option longOptions[] = {
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, versionOption},
        {"number", no_argument, nullptr, '#'},
        {"list-interfaces", no_argument, nullptr, 'D'},
        {"interface", required_argument, nullptr, 'i'},
        {"count", required_argument, nullptr, 'c'},
        {"snapshot-length", required_argument, nullptr, 's'},
        {"packet-buffered", no_argument, nullptr, 'U'},
        {"no-promiscuous-mode", no_argument, nullptr, 'p'},
        {nullptr, 0, nullptr, 0},
    };
    Options options;
    int tCount = 0;
    optind = 0;  // start afresh: glibc keeps the scanning state between calls
    opterr = 0;
    int c;
    while ((c = getopt_long(static_cast<int>(argv.size()) - 1, argv.data(), ":c:Dehi:npqr:s:tUvw:x#", longOptions,
                            nullptr)) != -1) {
        switch (c) {
            case 'r': options.readFile = optarg; break;
            case 'i': options.interface = optarg; break;
            case 'w': options.writeFile = optarg; break;
            case 'c': {
                auto value = parseInteger(optarg);
                if (!value || *value <= 0) return {std::nullopt, std::string("invalid packet count ") + optarg};
                options.count = *value;
                break;
            }
            case 's': {
                auto value = parseInteger(optarg);
                if (!value || *value < 0 || *value > maximumSnaplen) {
                    return {std::nullopt, std::string("invalid snaplen ") + optarg + " (0 to 262144)"};
                }
                options.snaplen = *value == 0 ? maximumSnaplen : *value;
                break;
            }
            case 't': ++tCount; break;
            case 'v': options.verbose = true; break;
            case 'x': options.hexdump = true; break;
            case 'q': options.quiet = true; break;
            case '#': options.number = true; break;
            case 'p': options.promiscuous = false; break;
            case 'U': options.packetBuffered = true; break;
            case 'D': options.listInterfaces = true; break;
            case 'e':
            case 'n': break;
            case 'h': options.help = true; break;
            case versionOption: options.version = true; break;
            case ':': return {std::nullopt, "option " + std::string(argv[optind - 1]) + " needs a value"};
            default: {
                const std::string name =
                    optopt ? std::string("-") + static_cast<char>(optopt) : std::string(argv[optind - 1]);
                return {std::nullopt, "unknown option " + name};
            }
        }
    }
    static constexpr TimeFormat byCount[] = {TimeFormat::timeOfDay, TimeFormat::none, TimeFormat::epoch,
                                             TimeFormat::sincePrevious, TimeFormat::dateAndTime,
                                             TimeFormat::sinceFirst};
    if (tCount > 5) return {std::nullopt, "at most five -t"};
    options.timeFormat = byCount[tCount];
    for (int i = optind; i < static_cast<int>(argv.size()) - 1; ++i) {
        if (!options.filter.empty()) options.filter += ' ';
        options.filter += argv[static_cast<std::size_t>(i)];
    }
    if (options.readFile && options.interface) return {std::nullopt, "give either -r FILE or -i INTERFACE, not both"};
    return {options, ""};
}

void Printer::printTime(const Date& date, LineWriter& out) {
    const std::int64_t micros = date.time_since_epoch().count();
    auto split = [](std::int64_t value, std::int64_t& seconds, std::int64_t& fraction) {
        seconds = value / 1'000'000;
        fraction = value % 1'000'000;
        if (fraction < 0) fraction += 1'000'000, seconds -= 1;
    };
    auto writeFraction = [&](char* p, std::int64_t fraction) {
        *p++ = '.';
        for (int i = 5; i >= 0; --i, fraction /= 10) p[i] = static_cast<char>('0' + fraction % 10);
        return p + 6;
    };
    std::int64_t seconds = 0, fraction = 0;
    switch (options_.timeFormat) {
        case TimeFormat::none: return;
        case TimeFormat::epoch: {
            split(micros, seconds, fraction);
            char* p = out.reserve(40);
            if (seconds < 0) *p++ = '-', seconds = -seconds;
            p = text::writeDecimal(p, static_cast<std::uint64_t>(seconds));
            out.commit(writeFraction(p, fraction));
            break;
        }
        case TimeFormat::timeOfDay:
        case TimeFormat::dateAndTime: {
            split(micros, seconds, fraction);
            if (seconds != cachedSecond_) {
                // localtime_r once per second of capture time, not once per frame.
                const std::time_t t = static_cast<std::time_t>(seconds);
                std::tm local{};
                localtime_r(&t, &local);
                const char* format = options_.timeFormat == TimeFormat::timeOfDay ? "%H:%M:%S" : "%Y-%m-%d %H:%M:%S";
                cachedClockLength_ = std::strftime(cachedClock_, sizeof cachedClock_, format, &local);
                cachedSecond_ = seconds;
            }
            char* p = out.reserve(40);
            p = text::writeText(p, std::string_view(cachedClock_, cachedClockLength_));
            out.commit(writeFraction(p, fraction));
            break;
        }
        case TimeFormat::sincePrevious:
        case TimeFormat::sinceFirst: {
            const Date& reference = options_.timeFormat == TimeFormat::sinceFirst ? *first_ : *previous_;
            std::int64_t delta = (date - reference).count();
            char* p = out.reserve(48);
            if (delta < 0) *p++ = '-', delta = -delta;
            split(delta, seconds, fraction);
            const std::int64_t hours = seconds / 3600;
            if (hours < 10) *p++ = '0';
            p = text::writeDecimal(p, static_cast<std::uint64_t>(hours));
            for (std::int64_t part : {seconds / 60 % 60, seconds % 60}) {
                *p++ = ':';
                *p++ = static_cast<char>('0' + part / 10);
                *p++ = static_cast<char>('0' + part % 10);
            }
            out.commit(writeFraction(p, fraction));
            break;
        }
    }
    out << ' ';
}

void Printer::print(const Frame& frame, LineWriter& out) {
    if (!first_) first_ = frame.date;
    if (!previous_) previous_ = frame.date;
    if (options_.number) {
        char* p = out.reserve(22);
        p = text::writeDecimal(p, static_cast<std::uint64_t>(frame.frameNumber));
        *p++ = ' ';
        out.commit(p);
    }
    printTime(frame.date, out);
    previous_ = frame.date;
    if (options_.quiet) {
        frame.layer3.appendDescription(out);
        if (const auto* layer4 = frame.layer4(); layer4 && !layer4->isNoLayer4()) {
            out << ' ';
            layer4->appendDescription(out);
        }
    } else {
        frame.appendDescription(out);
    }
    out << '\n';
    if (options_.verbose) {
        out << "  ";
        frame.appendVerboseDescription(out);
        out << "\n  ";
        frame.layer3.appendVerboseDescription(out);
        out << '\n';
        if (const auto* layer4 = frame.layer4(); layer4 && !layer4->isNoLayer4()) {
            out << "  ";
            layer4->appendVerboseDescription(out);
            out << '\n';
        }
    }
    if (options_.hexdump) out << frame.hexdump();
}

namespace {

std::atomic<bool> interrupted{false};
// The descriptor a blocked read waits on, and /dev/null to put in its place.
std::atomic<int> inputDescriptor{-1};
int nullDescriptor = -1;

extern "C" void onInterrupt(int) {
    interrupted = true;
    // A read that is about to start would otherwise wait on a FIFO or terminal for ever: it now
    // reads /dev/null and ends. (A read already waiting ends with EINTR.)
    const int input = inputDescriptor.load();
    if (input >= 0 && nullDescriptor >= 0) dup2(nullDescriptor, input);
}

void installSignalHandlers() {
    interrupted = false;
    if (nullDescriptor < 0) nullDescriptor = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked read returns
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int writeAll(const std::string& text, std::FILE* out, std::FILE* err) {
    if (text.empty()) return 0;
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size()) {
        std::fprintf(err, "tmdump: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

std::unique_ptr<PcapWriter> openWriter(const Options& options, std::int32_t linkType, std::int64_t snaplen,
                                       std::FILE* err) {
    try {
        return PcapWriter::open(*options.writeFile, linkType, snaplen);
    } catch (const EtherCaptureError& error) {
        std::fprintf(err, "tmdump: %s\n", error.message().c_str());
        return nullptr;
    }
}

int readFile(const Options& options, std::FILE* textOut, std::FILE* err) {
    const std::string& path = *options.readFile;
    // Opening a FIFO waits for its writer; a signal ends that wait too.
    std::FILE* file = path == "-" ? fdopen(dup(STDIN_FILENO), "rb") : std::fopen(path.c_str(), "rb");
    if (!file) {
        if (interrupted) return 0;
        std::fprintf(err, "tmdump: %s: %s\n", path.c_str(), std::strerror(errno));
        return 1;
    }
    inputDescriptor = fileno(file);
    std::unique_ptr<PcapReader> reader;
    try {
        reader = PcapReader::open(file);
    } catch (const EtherCaptureError& error) {
        inputDescriptor = -1;
        if (interrupted) return 0;
        std::fprintf(err, "tmdump: %s: %s\n", path.c_str(), error.message().c_str());
        return 1;
    }
    const std::int32_t linkType = reader->linkType();
    if (!ZuzizavAdiduDazorud::isDecodable(linkType)) {
        std::fprintf(err, "tmdump: %s: link type %d (%s) is not one tmdump decodes\n", path.c_str(), linkType,
                     ZuzizavAdiduDazorud::linkTypeDescription(linkType).c_str());
        return 1;
    }
    if (!options.filter.empty()) {
        try {
            reader->setFilter(options.filter);
        } catch (const EtherCaptureError& error) {
            std::fprintf(err, "tmdump: bad filter \"%s\": %s\n", options.filter.c_str(), error.message().c_str());
            return 1;
        }
    }
    std::fprintf(err, "reading from file %s, link-type %s, snapshot length %lld\n", path.c_str(),
                 ZuzizavAdiduDazorud::linkTypeDescription(linkType).c_str(),
                 static_cast<long long>(reader->snaplen()));
    std::unique_ptr<PcapWriter> writer;
    if (options.writeFile && !(writer = openWriter(options, linkType, reader->snaplen(), err))) return 1;

    const bool printFrames = !options.writeFile || options.verbose || options.hexdump;
    const auto link = static_cast<ZuzizavAdiduDazorud::LinkType>(linkType);
    Printer printer(options);
    std::string text;
    text.reserve(1 << 16);
    int status = 0;
    PcapReader::Status next = PcapReader::Status::end;
    {
        LineWriter line(text);
        PcapRecord record;
        std::int64_t number = 0;
        Frame frame;  // decoded into again for each record: no allocation per frame
        while ((options.count == 0 || number < options.count) && !interrupted &&
               (next = reader->next(record)) == PcapReader::Status::record) {
            ++number;
            if (writer) {
                writer->write(record);
                if (options.packetBuffered && !writer->flush()) break;
            }
            if (!printFrames) continue;
            frame.decode(link, record.bytes, record.timeval, record.originalLength, number);
            printer.print(frame, line);
            if (text.size() > (1 << 16) - 4096) {
                if ((status = writeAll(text, textOut, err)) != 0) break;
                text.clear();
            }
        }
        line.flush();
    }
    inputDescriptor = -1;
    // Every frame read before a damaged record is printed first, as tcpdump does.
    if (status == 0) status = writeAll(text, textOut, err);
    if (std::fflush(textOut) != 0 && status == 0) {
        std::fprintf(err, "tmdump: cannot write the output: %s\n", std::strerror(errno));
        status = 1;
    }
    if (next == PcapReader::Status::error && !interrupted) {
        std::fprintf(err, "tmdump: %s: %s\n", path.c_str(), reader->error().c_str());
        status = 1;
    }
    if (writer && !writer->close() && status == 0) {
        std::fprintf(err, "tmdump: cannot write %s: %s\n", options.writeFile->c_str(), std::strerror(errno));
        status = 1;
    }
    return status;
}

int capture(const Options& options, std::FILE* textOut, std::FILE* err) {
    std::string interface;
    try {
        interface = options.interface ? *options.interface : EtherCapture::lookupDefaultInterface();
    } catch (const EtherCaptureError& error) {
        std::fprintf(err, "tmdump: %s\n", error.description().c_str());
        return 1;
    }
    // The loop's own count is 32-bit; larger counts are kept here.
    const std::int32_t loopCount =
        options.count > 0 && options.count <= INT_MAX ? static_cast<std::int32_t>(options.count) : 0;
    const bool printFrames = !options.writeFile || options.verbose || options.hexdump;

    // Held until the writer is ready, so that no frame arrives before it.
    std::mutex mutex;
    std::unique_lock ready(mutex);
    std::unique_ptr<PcapWriter> writer;
    Printer printer(options);
    std::int64_t seen = 0;
    std::atomic<bool> done{false};
    bool failed = false;
    std::string text;
    std::shared_ptr<EtherCapture> session;
    try {
        session = EtherCapture::make(
            interface, loopCount, options.filter, options.snaplen, options.promiscuous, [&](const Frame& frame) {
                std::lock_guard lock(mutex);
                if (done || failed) return;
                ++seen;
                if (writer) {
                    writer->write(frame);
                    if (options.packetBuffered && !writer->flush()) failed = true;
                }
                if (printFrames) {
                    text.clear();
                    {
                        LineWriter line(text);
                        printer.print(frame, line);
                    }
                    if (writeAll(text, textOut, err) != 0) failed = true;
                    std::fflush(textOut);
                }
                if (options.count > 0 && seen >= options.count) done = true;
            });
    } catch (const EtherCaptureError& error) {
        std::fprintf(err, "tmdump: %s\n", error.description().c_str());
        return 1;
    }
    if (options.writeFile && !(writer = openWriter(options, session->datalink(), session->snaplen(), err))) {
        session->cancel();
        failed = true;
    }
    std::fprintf(err, "listening on %s, link-type %s, snapshot length %lld bytes\n", interface.c_str(),
                 ZuzizavAdiduDazorud::linkTypeDescription(session->datalink()).c_str(),
                 static_cast<long long>(session->snaplen()));
    ready.unlock();

    while (!session->waitUntilFinished(std::chrono::milliseconds(100))) {
        if (interrupted || done || failed) session->cancel();
    }
    std::lock_guard lock(mutex);
    std::fflush(textOut);
    std::fprintf(err, "%lld packets captured\n", static_cast<long long>(seen));
    if (auto counters = session->statistics()) {
        std::fprintf(err, "%llu packets received by filter\n%llu packets dropped by kernel\n",
                     static_cast<unsigned long long>(counters->received),
                     static_cast<unsigned long long>(counters->dropped));
    }
    if (writer && !writer->close()) {
        std::fprintf(err, "tmdump: cannot write %s: %s\n", options.writeFile->c_str(), std::strerror(errno));
        return 1;
    }
    return failed ? 1 : 0;
}

int listInterfaces(std::FILE* out, std::FILE* err) {
    auto names = EtherCapture::listInterfaces();
    if (!names) {
        std::fprintf(err, "tmdump: cannot list the capture devices\n");
        return 1;
    }
    for (std::size_t i = 0; i < names->size(); ++i) std::fprintf(out, "%zu.%s\n", i + 1, (*names)[i].c_str());
    return 0;
}

}  // namespace

int run(const Options& options, std::FILE* out, std::FILE* err) {
    if (options.help) {
        std::fputs(usage(), out);
        return 0;
    }
    if (options.version) {
        std::fputs(versionText().c_str(), out);
        return 0;
    }
    if (options.listInterfaces) return listInterfaces(out, err);
    installSignalHandlers();
    // Frame texts and a capture file cannot share standard output.
    std::FILE* textOut = options.writeFile && *options.writeFile == "-" ? err : out;
    return options.readFile ? readFile(options, textOut, err) : capture(options, textOut, err);
}

}  // namespace TmDump
