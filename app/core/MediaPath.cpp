#include "MediaPath.h"

#include <ifaddrs.h>
#include <cstring>
#include <netinet/in.h>

namespace Tidemark {

using ZuzizavAdiduDazorud::Frame;

namespace {

constexpr std::uint32_t magicCookie = 0x2112a442;
constexpr std::uint16_t dataIndication = 0x0117;  // STUN method Data (RFC 8656), indication class
constexpr std::uint16_t packetSentByUs = 4;        // a Linux cooked header's packet type

std::uint32_t read32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}
std::uint16_t read16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

}  // namespace

std::string_view toString(PayloadClass kind) {
    static constexpr std::string_view names[] = {"STUN", "TURN data", "DTLS", "RTP", "service media", "other"};
    const auto index = static_cast<std::size_t>(kind);
    return index < std::size(names) ? names[index] : "?";
}

PayloadClass classifyPayload(std::span<const std::uint8_t> p, std::size_t length, ServiceSet senderServices) {
    // `p` may be shorter than the payload (the capture keeps the first bytes): lengths come from `length`.
    if (p.empty() || length < p.size()) return PayloadClass::other;
    const std::uint8_t first = p[0];
    if (first <= 3) {
        // STUN: a 20-byte header, the length of what follows it, and the magic cookie.
        if (p.size() < 8 || read32(p, 4) != magicCookie || read16(p, 2) + std::size_t{20} != length) {
            return PayloadClass::other;
        }
        return read16(p, 0) == dataIndication ? PayloadClass::turnData : PayloadClass::stun;
    }
    if (first >= 64 && first <= 79) {
        // ChannelData: channel number, then the length of the data, which the datagram holds (padded to 4).
        if (p.size() < 4) return PayloadClass::other;
        const std::size_t data = read16(p, 2);
        return length >= 4 + data && length <= 4 + data + 3 ? PayloadClass::turnData : PayloadClass::other;
    }
    if (first >= 20 && first <= 63) {
        // A DTLS record: content type, then a DTLS version (0xfeff, 0xfefd), in a 13-byte header.
        if (p.size() >= 2 && p[1] == 0xfe && length >= 13) return PayloadClass::dtls;
    } else if (first >= 128 && first <= 191) {
        if (length >= 8) return PayloadClass::rtp;  // RTCP's smallest packet; RTP's header is 12
    }
    for (std::size_t i = 0; i < meetingServiceCount; ++i) {
        if ((senderServices & (ServiceSet{1} << i)) && meetingServices[i].framing == first) return PayloadClass::serviceMedia;
    }
    return PayloadClass::other;
}

ObservationRecord encode(const Observation& o) {
    ObservationRecord r{};
    r[0] = static_cast<std::uint8_t>(o.kind);
    r[1] = static_cast<std::uint8_t>(o.direction);
    r[2] = o.remote.family;
    r[4] = static_cast<std::uint8_t>(o.remotePort >> 8);
    r[5] = static_cast<std::uint8_t>(o.remotePort);
    r[6] = static_cast<std::uint8_t>(o.localPort >> 8);
    r[7] = static_cast<std::uint8_t>(o.localPort);
    for (int i = 0; i < 4; ++i) r[8 + i] = static_cast<std::uint8_t>(o.count >> (24 - 8 * i));
    for (std::size_t i = 0; i < 16; ++i) r[12 + i] = o.remote.bytes[i];
    return r;
}

std::optional<Observation> decodeObservation(std::span<const std::uint8_t, observationRecordSize> r) {
    if (r[0] >= payloadClassCount || r[1] > 1 || (r[2] != 4 && r[2] != 6) || r[3] != 0) return std::nullopt;
    Observation o;
    o.kind = static_cast<PayloadClass>(r[0]);
    o.direction = static_cast<Direction>(r[1]);
    o.remote.family = r[2];
    o.remotePort = read16(r, 4);
    o.localPort = read16(r, 6);
    o.count = read32(r, 8);
    for (std::size_t i = 0; i < 16; ++i) o.remote.bytes[i] = r[12 + i];
    if (o.count == 0) return std::nullopt;
    if (o.remote.family == 4) {
        for (std::size_t i = 4; i < 16; ++i) {
            if (o.remote.bytes[i] != 0) return std::nullopt;
        }
    }
    return o;
}

void LocalAddresses::refresh() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return;
    addresses_.clear();
    for (const ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr) continue;
        NetAddress address;
        if (a->ifa_addr->sa_family == AF_INET) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
            address.family = 4;
            std::memcpy(address.bytes.data(), &in->sin_addr, 4);
        } else if (a->ifa_addr->sa_family == AF_INET6) {
            const auto* in = reinterpret_cast<const sockaddr_in6*>(a->ifa_addr);
            address.family = 6;
            std::memcpy(address.bytes.data(), &in->sin6_addr, 16);
        } else {
            continue;
        }
        addresses_.push_back(address);
    }
    freeifaddrs(list);
}

bool LocalAddresses::contains(const NetAddress& address) const {
    for (const NetAddress& a : addresses_) {
        if (a == address) return true;
    }
    return false;
}

std::optional<Observation> observe(const Frame& frame, const LocalAddresses& local) {
    const ZuzizavAdiduDazorud::Layer4* layer4 = frame.layer4();
    const auto* udp = layer4 ? layer4->udp() : nullptr;
    if (!udp || udp->status != ZuzizavAdiduDazorud::DecodeStatus::complete) return std::nullopt;
    NetAddress source, destination;
    if (const auto* ip = frame.layer3.ipv4()) {
        source = NetAddress::v4(ip->sourceIP.rawValue());
        destination = NetAddress::v4(ip->destinationIP.rawValue());
    } else if (const auto* ip6 = frame.layer3.ipv6()) {
        source = NetAddress::v6(ip6->sourceIP.rawValue());
        destination = NetAddress::v6(ip6->destinationIP.rawValue());
    } else {
        return std::nullopt;
    }
    // The cooked header of the "any" device says which way the packet went; elsewhere its source does.
    const bool sent = frame.cooked ? frame.cooked->packetType == packetSentByUs : local.contains(source);
    Observation o;
    o.direction = sent ? Direction::outbound : Direction::inbound;
    o.remote = sent ? destination : source;
    o.remotePort = static_cast<std::uint16_t>(sent ? udp->destinationPort : udp->sourcePort);
    o.localPort = static_cast<std::uint16_t>(sent ? udp->sourcePort : udp->destinationPort);
    // The datagram's own length says how long the payload is; the capture kept only its first bytes.
    const std::size_t length = udp->length >= 8 ? static_cast<std::size_t>(udp->length - 8) : 0;
    o.kind = classifyPayload(udp->payload.bytes(), length, servicesOf(o.remote, o.remotePort));
    return o;
}

bool worthPassingOn(const Observation& o) {
    const ServiceSet services = servicesOf(o.remote, o.remotePort);
    if (o.direction == Direction::outbound) return o.kind == PayloadClass::stun && services != 0;
    if (o.kind == PayloadClass::other) return servicesOfPort(o.remotePort) != 0;
    if (o.kind == PayloadClass::stun) return services != 0;
    return true;
}

DatagramCounter::DatagramCounter(Emit emit) : emit_(std::move(emit)) { local_.refresh(); }

void DatagramCounter::frame(const Frame& frame, Clock::time_point now) {
    std::optional<Observation> o = observe(frame, local_);
    if (!o || !worthPassingOn(*o)) return;
    const Key key{o->direction, o->kind, o->remote, o->remotePort, o->localPort};
    auto it = flows_.find(key);
    if (it == flows_.end()) {
        if (flows_.size() >= maximumFlows) {
            ++overflowed_;
            return;
        }
        flows_.emplace(key, Flow{0, now});
        emit_(*o);  // a new flow: at once
        return;
    }
    ++it->second.pending;
    it->second.lastSeen = now;
}

void DatagramCounter::tick(Clock::time_point now) {
    if (now - lastFlush_ >= flushInterval) flush(now);
    if (now - lastRefresh_ >= std::chrono::seconds(10)) {
        lastRefresh_ = now;
        local_.refresh();
    }
}

void DatagramCounter::flush(Clock::time_point now) {
    lastFlush_ = now;
    for (auto it = flows_.begin(); it != flows_.end();) {
        Flow& flow = it->second;
        if (flow.pending > 0) {
            const auto& [direction, kind, remote, remotePort, localPort] = it->first;
            emit_(Observation{direction, kind, remote, remotePort, localPort, flow.pending});
            flow.pending = 0;
        }
        it = now - flow.lastSeen >= forgetAfter ? flows_.erase(it) : std::next(it);
    }
}

void countDatagrams(ZuzizavAdiduDazorud::EtherCapture& session, std::int32_t count, DatagramCounter::Emit emit) {
    DatagramCounter counter(std::move(emit));
    const auto linkType = static_cast<ZuzizavAdiduDazorud::LinkType>(session.datalink());
    Frame frame;  // decoded into again for each packet
    session.runRecordsHere(
        count,
        [&](const ZuzizavAdiduDazorud::PcapRecord& record) {
            frame.decode(linkType, record.bytes, record.timeval, record.originalLength, 0);
            counter.frame(frame, DatagramCounter::Clock::now());
        },
        [&] { counter.tick(DatagramCounter::Clock::now()); });
    // What the last second counted.
    counter.tick(DatagramCounter::Clock::now() + DatagramCounter::flushInterval);
}

}  // namespace Tidemark
