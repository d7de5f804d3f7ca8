// etherdump: prints what the packet library makes of captured frames.
#include "EtherDump.h"

#include "LoggingSystem.h"
#include "StreamLogHandler.h"

#include <cstdio>

int main(int argc, char** argv) {
    // Decoder diagnostics go to standard error, apart from the frames on standard output.
    Logging::LoggingSystem::setFactory(&Logging::StreamLogHandler::toStandardError);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    EtherDump::Parsed parsed = EtherDump::parseArguments(arguments);
    if (!parsed.options) {
        std::fprintf(stderr, "etherdump: %s\n%s", parsed.error.c_str(), EtherDump::usage());
        return 2;
    }
    if (parsed.options->help) {
        std::fputs(EtherDump::usage(), stdout);
        return 0;
    }
    static char buffer[1 << 20];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    return EtherDump::run(*parsed.options, stdout, stderr);
}
