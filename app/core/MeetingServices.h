#pragma once

// The meeting services Tidemark knows: the address ranges of their media servers and the UDP ports those
// send from, as each service publishes them for firewall administrators. A server is named by the ranges
// first, then by its port. The capture filter is made from this table when the program is compiled: the
// helper and the in-process capture use it and no other.

#include "MeetingRanges.h"
#include "NetAddress.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The subjects below are marked for the application's translators, who read them here; the capture helper,
// which has no Qt, sees the texts alone (Qt defines the macro the same way).
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace Tidemark {

struct PortRange {
    std::uint16_t first = 0;
    std::uint16_t last = 0;  // 0: no range
};

struct MeetingService {
    std::string_view id;       // as --services names it
    std::string_view name;     // as people know it
    std::string_view subject;  // how the sentence begins: "The Zoom stream"
    std::array<PortRange, 2> ports;
    int framing = -1;  // the first byte of the service's own media framing, when it has one; -1: none
};

inline constexpr MeetingService meetingServices[] = {
    // Zoom: media from 8801, and 8802-8810 from some clients' servers.
    {"zoom", "Zoom", QT_TRANSLATE_NOOP("Tidemark", "The Zoom stream"), {{{8801, 8810}}}, 0x05},
    // Microsoft Teams: media relays on 3478-3481.
    {"teams", "Microsoft Teams", QT_TRANSLATE_NOOP("Tidemark", "The Microsoft Teams stream"), {{{3478, 3481}}}},
    // Google Meet: 19302-19309, and relays on 3478.
    {"meet", "Google Meet", QT_TRANSLATE_NOOP("Tidemark", "The Google Meet stream"), {{{19302, 19309}, {3478, 3478}}}},
    // Webex: 9000, and 5004.
    {"webex", "Webex", QT_TRANSLATE_NOOP("Tidemark", "The Webex stream"), {{{9000, 9000}, {5004, 5004}}}},
    // Jitsi Meet (meet.jit.si and self-hosted videobridges): 10000.
    {"jitsi", "Jitsi Meet", QT_TRANSLATE_NOOP("Tidemark", "The Jitsi Meet stream"), {{{10000, 10000}}}},
};
inline constexpr std::size_t meetingServiceCount = std::size(meetingServices);

// Port 3478 alone is every relay's (Teams and Meet): its stream is named by what it is.
inline constexpr std::string_view relaySubject = QT_TRANSLATE_NOOP("Tidemark", "The stream from a meeting service's relay");
inline constexpr std::string_view relayName = "a meeting service's relay";
inline constexpr std::uint16_t sharedRelayPort = 3478;

// Which services are watched, one bit per entry of the table.
using ServiceSet = std::uint32_t;
inline constexpr ServiceSet allServices = (ServiceSet{1} << meetingServiceCount) - 1;

// The services that send from `port`, among `watched`.
constexpr ServiceSet servicesOfPort(std::uint16_t port, ServiceSet watched = allServices) {
    ServiceSet found = 0;
    for (std::size_t i = 0; i < meetingServiceCount; ++i) {
        for (const PortRange& range : meetingServices[i].ports) {
            if (range.last != 0 && port >= range.first && port <= range.last) found |= ServiceSet{1} << i;
        }
    }
    return found & watched;
}

// The one service of a set, or none when it holds none or more than one.
constexpr std::optional<std::size_t> onlyService(ServiceSet found) {
    if (found == 0 || (found & (found - 1)) != 0) return std::nullopt;
    std::size_t index = 0;
    while (!(found & (ServiceSet{1} << index))) ++index;
    return index;
}

// The one service a port names, or none when it names none or (3478) more than one.
constexpr std::optional<std::size_t> serviceOfPort(std::uint16_t port, ServiceSet watched = allServices) {
    return onlyService(servicesOfPort(port, watched));
}

// The services whose published ranges hold `address`.
inline ServiceSet servicesOfAddress(const NetAddress& address) {
    ServiceSet found = 0;
    for (const publishedRanges::List& list : publishedRanges::lists) {
        bool inside = false;
        if (address.family == 4) {
            for (const publishedRanges::V4& range : list.v4) inside = inside || address.inV4(range.network, range.prefix);
        } else if (address.family == 6) {
            for (const publishedRanges::V6& range : list.v6) inside = inside || address.startsWith(range.network, range.prefix);
        }
        if (!inside) continue;
        for (std::size_t i = 0; i < meetingServiceCount; ++i) {
            if (meetingServices[i].id == list.service) found |= ServiceSet{1} << i;
        }
    }
    return found;
}

// The services a sender may be: by the published ranges when they hold it, else by its port.
inline ServiceSet servicesOf(const NetAddress& address, std::uint16_t port) {
    const ServiceSet byRanges = servicesOfAddress(address);
    return byRanges != 0 ? byRanges : servicesOfPort(port);
}

// The services named by ids ("teams,meet"), or none when one is unknown or the list is empty.
inline std::optional<ServiceSet> parseServices(std::string_view list) {
    ServiceSet set = 0;
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view id = list.substr(0, comma);
        bool known = false;
        for (std::size_t i = 0; i < meetingServiceCount; ++i) {
            if (meetingServices[i].id == id) {
                set |= ServiceSet{1} << i;
                known = true;
            }
        }
        if (!known) return std::nullopt;
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    if (set == 0) return std::nullopt;
    return set;
}

inline constexpr ServiceSet zoomOnly = 1;

namespace detail {
struct FilterText {
    std::array<char, 2048> text{};
    std::size_t size = 0;
    constexpr void append(std::string_view part) {
        for (char c : part) text[size++] = c;
    }
    constexpr void append(unsigned number) {
        char digits[5] = {};
        std::size_t count = 0;
        do {
            digits[count++] = static_cast<char>('0' + number % 10);
            number /= 10;
        } while (number != 0);
        while (count > 0) text[size++] = digits[--count];
    }
};

// What a media or connectivity-check payload may begin with (RFC 7983), as a kernel filter can test it,
// with the payload at udp[8] (IPv4) or ip6[48] (IPv6 without extension headers): RTP/RTCP, DTLS records,
// TURN ChannelData whose length fits the datagram, and STUN with its magic cookie. A superset of what the
// helper then classifies.
inline constexpr std::string_view mediaV4 =
    "ip and (udp[8] & 0xc0 = 0x80 or (udp[8] >= 20 and udp[8] <= 63 and udp[9] = 0xfe) or "
    "(udp[8] & 0xf0 = 0x40 and udp[4:2] - udp[10:2] >= 12 and udp[4:2] - udp[10:2] <= 15) or "
    "(udp[8] & 0xfc = 0 and udp[12:4] = 0x2112a442))";
inline constexpr std::string_view mediaV6 =
    "ip6 and ip6[6] = 17 and (ip6[48] & 0xc0 = 0x80 or (ip6[48] >= 20 and ip6[48] <= 63 and ip6[49] = 0xfe) or "
    "(ip6[48] & 0xf0 = 0x40 and ip6[44:2] - ip6[50:2] >= 12 and ip6[44:2] - ip6[50:2] <= 15) or "
    "(ip6[48] & 0xfc = 0 and ip6[52:4] = 0x2112a442))";
// Ports that no participant's media uses: the well-known ones (DNS, NTP, QUIC on 443, ...) and
// multicast name resolution.
inline constexpr std::string_view ordinaryPorts =
    "src portrange 1024-65535 and dst portrange 1024-65535 and not port 5353 and not port 5355";

constexpr FilterText makeCaptureFilter() {
    FilterText filter;
    filter.append("udp and (");
    for (const MeetingService& service : meetingServices) {
        for (const PortRange& range : service.ports) {
            if (range.last == 0) continue;
            if (range.first == range.last) {
                filter.append("src port ");
                filter.append(range.first);
            } else {
                filter.append("src portrange ");
                filter.append(range.first);
                filter.append("-");
                filter.append(range.last);
            }
            filter.append(" or ");
        }
    }
    filter.append("(");
    filter.append(ordinaryPorts);
    filter.append(" and ((");
    filter.append(mediaV4);
    filter.append(") or (");
    filter.append(mediaV6);
    filter.append("))))");
    return filter;
}
inline constexpr FilterText captureFilterText = makeCaptureFilter();
}  // namespace detail

// Every datagram from the services' media ports, and from any other port what looks like media or a
// connectivity check (a peer-to-peer call's media, the computer's own checks): made when compiled.
inline constexpr std::string_view captureFilter{detail::captureFilterText.text.data(), detail::captureFilterText.size};

}  // namespace Tidemark
