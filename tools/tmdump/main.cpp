// tmdump: prints what the packet library makes of captured frames, with tcpdump's everyday options.
#include "TmDump.h"

#include <ZuzizavAdiduDazorud/logging/LoggingSystem.h>
#include <ZuzizavAdiduDazorud/logging/StreamLogHandler.h>

#include <cstdio>

int main(int argc, char** argv) {
    // Decoder diagnostics go to standard error, apart from the frames on standard output.
    Logging::LoggingSystem::setFactory(&Logging::StreamLogHandler::toStandardError);
    TmDump::Parsed parsed = TmDump::parseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fprintf(stderr, "tmdump: %s\n%s", parsed.error.c_str(), TmDump::usage());
        return 1;
    }
    static char buffer[1 << 20];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    return TmDump::run(*parsed.options, stdout, stderr);
}
