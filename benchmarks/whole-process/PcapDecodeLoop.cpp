// Reading a capture file and decoding every frame, without printing: the decoding cost on its own.
#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include <pcap/pcap.h>

#include <cstdio>
#include <cstdlib>
#include <new>

using namespace ZuzizavAdiduDazorud;

// Every allocation of the process, counted: decoding into one frame should make none once each kind of
// frame has been seen.
namespace {
unsigned long long allocations = 0;
}
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pcap-decode-loop FILE\n");
        return 2;
    }
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* pcap = pcap_open_offline(argv[1], errbuf);
    if (!pcap) {
        std::fprintf(stderr, "pcap-decode-loop: %s\n", errbuf);
        return 1;
    }
    pcap_pkthdr* header = nullptr;
    const u_char* bytes = nullptr;
    long long frames = 0;
    unsigned long long sum = 0;
    Frame frame;  // decoded into again for each packet, as a reader of many frames does
    unsigned long long warm = 0;  // allocations when the first 1,000 frames are decoded
    while (pcap_next_ex(pcap, &header, &bytes) == 1) {
        if (++frames == 1001) warm = allocations;
        frame.decode(LinkType::ethernet, std::span<const std::uint8_t>(bytes, header->caplen),
                     Timeval{static_cast<std::int64_t>(header->ts.tv_sec), static_cast<std::int32_t>(header->ts.tv_usec)},
                     static_cast<std::int64_t>(header->len), frames);
        sum += frame.layer3.index();
        if (const Layer4* layer4 = frame.layer4()) sum += layer4->index();
    }
    pcap_close(pcap);
    std::printf("%lld frames (checksum %llu)\n", frames, sum);
    if (frames > 1000) {
        std::printf("%llu allocations in decoding after the first 1000 frames (%.3f per frame)\n", allocations - warm,
                    double(allocations - warm) / double(frames - 1000));
    }
    return 0;
}
