// Any bytes as a capture file for tmdump: libpcap's reader (pcap and pcapng), every frame decoded with the
// file's link type and printed as each of tmdump's output options prints it.
#include "TmDump.h"

#include <ZuzizavAdiduDazorud/EtherCaptureError.h>
#include <ZuzizavAdiduDazorud/PcapIO.h>
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

using namespace ZuzizavAdiduDazorud;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quietLogging();
    if (size == 0) return -1;
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!file) return 0;
    std::unique_ptr<PcapReader> reader;
    try {
        reader = PcapReader::open(file);
    } catch (const EtherCaptureError&) {
        return 0;
    }
    static const TmDump::Options variants[] = {
        [] { TmDump::Options o; o.verbose = o.hexdump = o.number = true; return o; }(),
        [] { TmDump::Options o; o.quiet = true; o.timeFormat = TmDump::TimeFormat::sincePrevious; return o; }(),
        [] { TmDump::Options o; o.timeFormat = TmDump::TimeFormat::dateAndTime; return o; }(),
    };
    TmDump::Printer printers[] = {TmDump::Printer(variants[0]), TmDump::Printer(variants[1]),
                                  TmDump::Printer(variants[2])};
    const auto link = static_cast<LinkType>(reader->linkType());
    std::string text;
    PcapRecord record;
    for (int frames = 0; frames < 64 && reader->next(record) == PcapReader::Status::record; ++frames) {
        const Frame frame(link, ByteSlice(record.bytes.data(), record.bytes.size()), record.timeval,
                          record.originalLength, frames + 1);
        for (auto& printer : printers) {
            text.clear();
            text::LineWriter line(text);
            printer.print(frame, line);
        }
    }
    return 0;
}
