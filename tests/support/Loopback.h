#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <pcap/pcap.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace TestSupport {

// Whether this process may open a capture on lo (root, or CAP_NET_RAW).
inline bool canCaptureOnLoopback() {
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* p = pcap_open_live("lo", 96, 0, 100, errbuf);
    if (!p) return false;
    pcap_close(p);
    return true;
}

// Sends one UDP datagram from 127.0.0.1 port 8801 to 127.0.0.1 `destinationPort`.
inline void sendFrom8801(std::uint16_t destinationPort, const std::string& payload) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(8801);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << "port 8801 in use";
    address.sin_port = htons(destinationPort);
    ASSERT_EQ(sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address),
              static_cast<ssize_t>(payload.size()));
    close(fd);
}

}  // namespace TestSupport
