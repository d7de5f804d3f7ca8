#pragma once

#include "Namespace.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace TestSupport {

// Two network namespaces joined by a veth pair: "computer", where the capture runs, and "internet",
// whose addresses stand for the services' servers and for other participants. Needs root.
class MediaNetwork {
public:
    static constexpr const char* computerAddress = "10.250.0.2";
    static constexpr std::uint16_t computerPort = 50000;

    explicit MediaNetwork(const std::vector<std::string>& internetAddresses) {
        std::string setup = "ip link add c0 netns " + computer_.name() + " type veth peer name i0 netns " + internet_.name() +
                            " && ip -n " + computer_.name() + " addr add 10.250.0.2/24 dev c0 && ip -n " + computer_.name() +
                            " link set c0 up && ip -n " + computer_.name() + " route add default via 10.250.0.1 && ip -n " +
                            internet_.name() + " addr add 10.250.0.1/24 dev i0 && ip -n " + internet_.name() + " link set i0 up";
        for (const std::string& address : internetAddresses) {
            setup += " && ip -n " + internet_.name() + " addr add " + address + "/32 dev lo";
        }
        ok_ = computer_.ok() && internet_.ok() && std::system(setup.c_str()) == 0;
    }
    ~MediaNetwork() {
        for (const auto& [key, fd] : sockets_) close(fd);
        for (const std::string& path : wrappers_) unlink(path.c_str());
    }
    MediaNetwork(const MediaNetwork&) = delete;
    MediaNetwork& operator=(const MediaNetwork&) = delete;

    bool ok() const { return ok_; }
    const NetworkNamespace& computer() const { return computer_; }

    // A script that runs `program` inside the computer's namespace with the arguments it is given.
    std::string wrapper(const std::string& program) {
        char path[] = "/tmp/tidemark-in-netns-XXXXXX";
        const int fd = mkstemp(path);
        const std::string script = "#!/bin/sh\nPATH=/usr/sbin:/usr/bin:/sbin:/bin exec ip netns exec " + computer_.name() + " " + program + " \"$@\"\n";
        const bool written = write(fd, script.data(), script.size()) == static_cast<ssize_t>(script.size());
        close(fd);
        chmod(path, 0755);
        wrappers_.emplace_back(path);
        return written ? std::string(path) : std::string();
    }

    // `count` datagrams from address:port in the internet to the computer.
    bool toComputer(const std::string& from, std::uint16_t port, const std::string& payload, int count = 1) {
        return send(internet_, from, port, computerAddress, computerPort, payload, count);
    }
    // `count` datagrams from the computer to address:port in the internet.
    bool fromComputer(const std::string& to, std::uint16_t port, const std::string& payload, int count = 1) {
        return send(computer_, computerAddress, computerPort, to, port, payload, count);
    }

private:
    bool send(const NetworkNamespace& ns, const std::string& from, std::uint16_t fromPort, const std::string& to,
              std::uint16_t toPort, const std::string& payload, int count) {
        const int fd = socketIn(ns, from, fromPort);
        if (fd < 0) return false;
        sockaddr_in destination{};
        destination.sin_family = AF_INET;
        destination.sin_port = htons(toPort);
        inet_pton(AF_INET, to.c_str(), &destination.sin_addr);
        for (int i = 0; i < count; ++i) {
            if (sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&destination), sizeof destination) !=
                static_cast<ssize_t>(payload.size())) {
                return false;
            }
        }
        return true;
    }

    // A socket bound to address:port, made inside `ns` (a socket keeps the namespace it was made in).
    int socketIn(const NetworkNamespace& ns, const std::string& address, std::uint16_t port) {
        const auto key = std::make_tuple(ns.name(), address, port);
        if (auto it = sockets_.find(key); it != sockets_.end()) return it->second;
        int fd = -1;
        std::thread([&] {
            const int nsFd = open(("/var/run/netns/" + ns.name()).c_str(), O_RDONLY | O_CLOEXEC);
            if (nsFd < 0 || setns(nsFd, CLONE_NEWNET) != 0) return;
            close(nsFd);
            fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            int one = 1;
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            sockaddr_in bound{};
            bound.sin_family = AF_INET;
            bound.sin_port = htons(port);
            inet_pton(AF_INET, address.c_str(), &bound.sin_addr);
            if (bind(fd, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0) {
                close(fd);
                fd = -1;
            }
        }).join();
        if (fd >= 0) sockets_[key] = fd;
        return fd;
    }

    NetworkNamespace computer_;
    NetworkNamespace internet_;
    bool ok_ = false;
    std::map<std::tuple<std::string, std::string, std::uint16_t>, int> sockets_;
    std::vector<std::string> wrappers_;
};

// Payloads as the protocols begin them.
namespace payloads {
inline std::string hex(const std::string& digits) {
    std::string out;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) out.push_back(static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return out;
}
inline const std::string stunRequest = hex("000100002112a442000102030405060708090a0b");
inline const std::string stunResponse = hex("010100002112a442000102030405060708090a0b");
inline const std::string rtp = hex("806f0001000000640000abcd00112233445566778899");
inline const std::string zoomMedia = hex("0510000102030405060708090a0b0c0d0e0f");
inline const std::string channelData = hex("400100080011223344556677");
inline const std::string unknown = "hello, world";
}  // namespace payloads

}  // namespace TestSupport
