// Reading a capture file and decoding every frame, without printing: the decoding cost on its own.
#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>

#include <pcap/pcap.h>

#include <cstdio>

using namespace ZuzizavAdiduDazorud;

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
    while (pcap_next_ex(pcap, &header, &bytes) == 1) {
        ++frames;
        frame.decode(LinkType::ethernet, std::span<const std::uint8_t>(bytes, header->caplen),
                     Timeval{static_cast<std::int64_t>(header->ts.tv_sec), static_cast<std::int32_t>(header->ts.tv_usec)},
                     static_cast<std::int64_t>(header->len), frames);
        sum += frame.layer3.value().index();
        if (const Layer4* layer4 = frame.layer4()) sum += layer4->value().index();
    }
    pcap_close(pcap);
    std::printf("%lld frames (checksum %llu)\n", frames, sum);
    return 0;
}
