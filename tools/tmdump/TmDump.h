#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// tmdump: prints what the packet library makes of captured frames, with tcpdump's everyday options.
namespace TmDump {

// How each line's time stamp is written (-t, default, -tt, -ttt, -tttt, -ttttt).
enum class TimeFormat { none, timeOfDay, epoch, sincePrevious, dateAndTime, sinceFirst };

struct Options {
    std::optional<std::string> readFile;   // -r; "-" is standard input
    std::optional<std::string> interface;  // -i
    std::optional<std::string> writeFile;  // -w; "-" is standard output
    std::int64_t count = 0;                // -c; 0: no limit
    std::int64_t snaplen = 262144;         // -s
    TimeFormat timeFormat = TimeFormat::timeOfDay;
    bool verbose = false;                  // -v
    bool hexdump = false;                  // -x
    bool quiet = false;                    // -q: no link-layer text
    bool number = false;                   // -#
    bool promiscuous = true;               // -p turns it off
    bool packetBuffered = false;           // -U: flush -w output after every frame
    bool listInterfaces = false;           // -D
    bool help = false;
    bool version = false;
    std::string filter;                    // the arguments after the options
};

// The options, or an error text for the user.
struct Parsed {
    std::optional<Options> options;
    std::string error;
};
Parsed parseArguments(const std::vector<std::string>& arguments);

const char* usage();
// The tool's, the library's and libpcap's versions, one per line.
std::string versionText();

// Writes each frame's lines: time stamp, number, one-line text, and the verbose texts and hex dump
// when asked for. Keeps the previous frame's time for the relative time stamps.
class Printer {
public:
    explicit Printer(const Options& options) : options_(options) {}
    void print(const ZuzizavAdiduDazorud::Frame& frame, ZuzizavAdiduDazorud::text::LineWriter& out);

private:
    void printTime(const ZuzizavAdiduDazorud::Date& date, ZuzizavAdiduDazorud::text::LineWriter& out);

    const Options& options_;
    std::optional<ZuzizavAdiduDazorud::Date> first_;
    std::optional<ZuzizavAdiduDazorud::Date> previous_;
    std::int64_t cachedSecond_ = -1;  // the second whose clock text is in cachedClock_
    char cachedClock_[32] = {};
    std::size_t cachedClockLength_ = 0;
};

// Runs the tool; returns the exit status. Frame texts go to `out` (to `err` when -w writes to standard
// output), messages and statistics to `err`.
int run(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace TmDump
