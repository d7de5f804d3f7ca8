// The floor for reading a capture file: libpcap's offline reader touching every packet and nothing else.
#include <pcap/pcap.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pcap-read-loop FILE\n");
        return 2;
    }
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* pcap = pcap_open_offline(argv[1], errbuf);
    if (!pcap) {
        std::fprintf(stderr, "pcap-read-loop: %s\n", errbuf);
        return 1;
    }
    pcap_pkthdr* header = nullptr;
    const u_char* bytes = nullptr;
    unsigned long long frames = 0, sum = 0;
    while (pcap_next_ex(pcap, &header, &bytes) == 1) {
        ++frames;
        sum += bytes[header->caplen - 1];
    }
    pcap_close(pcap);
    std::printf("%llu frames (checksum %llu)\n", frames, sum);
    return 0;
}
