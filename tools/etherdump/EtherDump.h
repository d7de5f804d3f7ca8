#pragma once

#include "DataStructure/Frame.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace EtherDump {

struct Options {
    std::optional<std::string> readFile;   // -r
    std::optional<std::string> interface;  // -i
    std::optional<std::string> writeFile;  // -w
    std::int64_t count = 0;                // -c; 0: no limit
    bool verbose = false;                  // -v
    bool hexdump = false;                  // -x
    bool help = false;
    std::string filter;                    // the remaining arguments
};

// The options, or an error text for the user.
struct Parsed {
    std::optional<Options> options;
    std::string error;
};
Parsed parseArguments(const std::vector<std::string>& arguments);

const char* usage();

// Appends what etherdump prints for one frame.
void render(const ZuzizavAdiduDazorud::Frame& frame, const Options& options, std::string& out);
void render(const ZuzizavAdiduDazorud::Frame& frame, const Options& options, ZuzizavAdiduDazorud::text::LineWriter& out);

// Runs the tool; returns the exit status. Frames go to `out`, errors and progress to `err`.
int run(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace EtherDump
