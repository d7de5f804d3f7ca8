#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

struct pcap;
struct pcap_dumper;

namespace ZuzizavAdiduDazorud {

// libpcap's name and description of a link type, as in "EN10MB (Ethernet)"; "DLT 1234" when it has none.
std::string linkTypeDescription(std::int32_t linkType);

// One record of a capture file or stream.
struct PcapRecord {
    Timeval timeval;
    std::uint32_t originalLength = 0;
    std::span<const std::uint8_t> bytes;  // the captured bytes
};

// Reads a capture file or stream through libpcap: classic pcap or pcapng (one interface), from a path,
// from "-" (standard input) or from an open file.
class PcapReader {
public:
    // Throws EtherCaptureError::genericError with libpcap's text.
    static std::unique_ptr<PcapReader> open(const std::string& path);
    // Takes the file over; it is closed with the reader.
    static std::unique_ptr<PcapReader> open(std::FILE* file);
    ~PcapReader();
    PcapReader(const PcapReader&) = delete;
    PcapReader& operator=(const PcapReader&) = delete;

    std::int32_t linkType() const;
    std::int64_t snaplen() const;
    // Keeps only the records the filter expression matches; throws pcap_compile_failed or
    // pcap_setfilter_failed.
    void setFilter(const std::string& expression);

    enum class Status { record, end, error };
    // The next record; its bytes stay valid until the next call. On `error`, error() tells why.
    Status next(PcapRecord& record);
    std::string error() const;

private:
    explicit PcapReader(pcap* handle) : pcap_(handle) {}
    pcap* pcap_;
};

// Writes a classic capture file or stream through libpcap's dump writer.
class PcapWriter {
public:
    // "-" writes to standard output. Throws EtherCaptureError::genericError with libpcap's text.
    static std::unique_ptr<PcapWriter> open(const std::string& path, std::int32_t linkType, std::int64_t snaplen);
    // Takes the file over; it is closed with the writer.
    static std::unique_ptr<PcapWriter> open(std::FILE* file, std::int32_t linkType, std::int64_t snaplen);
    ~PcapWriter();
    PcapWriter(const PcapWriter&) = delete;
    PcapWriter& operator=(const PcapWriter&) = delete;

    void write(const PcapRecord& record);
    // The frame's captured bytes, capture time and original length.
    void write(const Frame& frame);
    // False when anything written so far failed to reach the file.
    bool flush();
    // Flushes and closes; false when anything failed. Further writes are ignored.
    bool close();

private:
    PcapWriter(pcap* dead, pcap_dumper* dumper) : dead_(dead), dumper_(dumper) {}
    pcap* dead_;
    pcap_dumper* dumper_;
    bool failed_ = false;
};

}  // namespace ZuzizavAdiduDazorud
