#include <ZuzizavAdiduDazorud/PcapIO.h>

#include <ZuzizavAdiduDazorud/EtherCaptureError.h>

#include <pcap/pcap.h>

#include <limits>

namespace ZuzizavAdiduDazorud {

namespace {

std::string handleError(pcap_t* pcap) {
    const char* text = pcap ? pcap_geterr(pcap) : nullptr;
    return text && *text ? std::string(text) : std::string("unknown error");
}

int checkedSnaplen(std::int64_t snaplen) {
    if (snaplen <= 0 || snaplen > std::numeric_limits<std::int32_t>::max()) return 262144;
    return static_cast<int>(snaplen);
}

}  // namespace

std::string linkTypeDescription(std::int32_t linkType) {
    const char* name = pcap_datalink_val_to_name(linkType);
    if (!name) return "DLT " + std::to_string(linkType);
    const char* description = pcap_datalink_val_to_description(linkType);
    return description ? std::string(name) + " (" + description + ")" : std::string(name);
}

std::unique_ptr<PcapReader> PcapReader::open(const std::string& path) {
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_MICRO, errbuf);
    if (!handle) throw EtherCaptureError::genericError(errbuf);
    return std::unique_ptr<PcapReader>(new PcapReader(handle));
}

std::unique_ptr<PcapReader> PcapReader::open(std::FILE* file) {
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_fopen_offline_with_tstamp_precision(file, PCAP_TSTAMP_PRECISION_MICRO, errbuf);
    if (!handle) {
        std::fclose(file);
        throw EtherCaptureError::genericError(errbuf);
    }
    return std::unique_ptr<PcapReader>(new PcapReader(handle));
}

PcapReader::~PcapReader() { pcap_close(pcap_); }

std::int32_t PcapReader::linkType() const { return pcap_datalink(pcap_); }

std::int64_t PcapReader::snaplen() const { return pcap_snapshot(pcap_); }

void PcapReader::setFilter(const std::string& expression) {
    bpf_program program{};
    if (pcap_compile(pcap_, &program, expression.c_str(), 1, PCAP_NETMASK_UNKNOWN) < 0) {
        throw EtherCaptureError::pcap_compile_failed(handleError(pcap_));
    }
    const int set = pcap_setfilter(pcap_, &program);
    pcap_freecode(&program);
    if (set < 0) throw EtherCaptureError::pcap_setfilter_failed(handleError(pcap_));
}

PcapReader::Status PcapReader::next(PcapRecord& record) {
    pcap_pkthdr* header = nullptr;
    const u_char* bytes = nullptr;
    switch (pcap_next_ex(pcap_, &header, &bytes)) {
        case 1:
            record.timeval = {static_cast<std::int64_t>(header->ts.tv_sec), static_cast<std::int32_t>(header->ts.tv_usec)};
            record.originalLength = header->len;
            record.bytes = {bytes, header->caplen};
            return Status::record;
        case PCAP_ERROR_BREAK: return Status::end;
        default: return Status::error;
    }
}

std::string PcapReader::error() const { return handleError(pcap_); }

std::unique_ptr<PcapWriter> PcapWriter::open(const std::string& path, std::int32_t linkType, std::int64_t snaplen) {
    pcap_t* dead = pcap_open_dead(linkType, checkedSnaplen(snaplen));
    if (!dead) throw EtherCaptureError::genericError("cannot make a capture handle for link type " + std::to_string(linkType));
    pcap_dumper_t* dumper = pcap_dump_open(dead, path.c_str());
    if (!dumper) {
        std::string text = handleError(dead);
        pcap_close(dead);
        throw EtherCaptureError::genericError(text);
    }
    return std::unique_ptr<PcapWriter>(new PcapWriter(dead, dumper));
}

std::unique_ptr<PcapWriter> PcapWriter::open(std::FILE* file, std::int32_t linkType, std::int64_t snaplen) {
    pcap_t* dead = pcap_open_dead(linkType, checkedSnaplen(snaplen));
    pcap_dumper_t* dumper = dead ? pcap_dump_fopen(dead, file) : nullptr;
    if (!dumper) {
        std::string text = dead ? handleError(dead) : "cannot make a capture handle";
        if (dead) pcap_close(dead);
        std::fclose(file);
        throw EtherCaptureError::genericError(text);
    }
    return std::unique_ptr<PcapWriter>(new PcapWriter(dead, dumper));
}

PcapWriter::~PcapWriter() { close(); }

void PcapWriter::write(const PcapRecord& record) {
    if (!dumper_) return;
    pcap_pkthdr header{};
    header.ts.tv_sec = static_cast<time_t>(record.timeval.seconds);
    header.ts.tv_usec = static_cast<suseconds_t>(record.timeval.microseconds);
    header.caplen = static_cast<bpf_u_int32>(record.bytes.size());
    header.len = record.originalLength;
    pcap_dump(reinterpret_cast<u_char*>(dumper_), &header, record.bytes.data());
}

void PcapWriter::write(const Frame& frame) {
    const auto micros = frame.date.time_since_epoch().count();
    std::int64_t seconds = micros / 1'000'000;
    std::int64_t fraction = micros % 1'000'000;
    if (fraction < 0) {
        fraction += 1'000'000;
        seconds -= 1;
    }
    const auto original = frame.originalLength < 0 ? 0 : frame.originalLength;
    const auto bytes = frame.data.bytes();
    write(PcapRecord{{seconds, static_cast<std::int32_t>(fraction)},
                     static_cast<std::uint32_t>(std::min<std::int64_t>(original, std::numeric_limits<std::uint32_t>::max())),
                     bytes});
}

bool PcapWriter::flush() {
    if (!dumper_) return !failed_;
    if (pcap_dump_flush(dumper_) < 0 || std::ferror(pcap_dump_file(dumper_))) failed_ = true;
    return !failed_;
}

bool PcapWriter::close() {
    if (!dumper_) return !failed_;
    // A flushed file has reached the kernel; pcap_dump_close reports nothing of its own.
    flush();
    pcap_dump_close(dumper_);
    dumper_ = nullptr;
    pcap_close(dead_);
    dead_ = nullptr;
    return !failed_;
}

}  // namespace ZuzizavAdiduDazorud
