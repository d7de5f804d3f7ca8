#pragma once

// What a meeting's datagrams say about its media path, from their headers and the first bytes of their
// payload: the capture helper (and the in-process capture) turns each captured datagram into an
// Observation, counts them per flow, and passes on the counts; no payload byte ever leaves it. No Qt here.

#include "MeetingServices.h"
#include "NetAddress.h"

#include <ZuzizavAdiduDazorud/DataStructure/Frame.h>
#include <ZuzizavAdiduDazorud/EtherCapture.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <tuple>
#include <vector>

namespace Tidemark {

// What a UDP payload is, by its first bytes (RFC 7983's demultiplexing, and a service's own framing).
enum class PayloadClass : std::uint8_t {
    stun,          // a STUN message: a connectivity check or its answer (first byte 0-3, magic cookie)
    turnData,      // media through a TURN relay: ChannelData (64-79), or a STUN Data indication
    dtls,          // a DTLS record (20-63, version 0xfe..)
    rtp,           // RTP or RTCP (128-191)
    serviceMedia,  // the sending service's own media framing (Zoom's 0x05)
    other,
};
inline constexpr std::size_t payloadClassCount = 6;

constexpr bool isMedia(PayloadClass kind) {
    return kind == PayloadClass::turnData || kind == PayloadClass::dtls || kind == PayloadClass::rtp ||
           kind == PayloadClass::serviceMedia;
}
std::string_view toString(PayloadClass kind);

// The class of a payload of `length` bytes, of which `captured` are its first (at least one), from a
// sender that may be any of `senderServices` (whose framings count).
PayloadClass classifyPayload(std::span<const std::uint8_t> captured, std::size_t length, ServiceSet senderServices);

enum class Direction : std::uint8_t { inbound, outbound };

// Datagrams of one flow: to or from one remote address and port, of one class.
struct Observation {
    Direction direction = Direction::inbound;
    PayloadClass kind = PayloadClass::other;
    NetAddress remote;            // the sender of an inbound datagram, the receiver of an outbound one
    std::uint16_t remotePort = 0;
    std::uint16_t localPort = 0;
    std::uint32_t count = 1;      // datagrams since the flow's last observation

    friend bool operator==(const Observation&, const Observation&) = default;
};

// The helper's standard output: this header once the capture is open, then one fixed-size record per
// observation.
inline constexpr std::array<std::uint8_t, 8> observationStreamHeader{'T', 'M', 'O', 'B', 'S', 0, 0, 1};
inline constexpr std::size_t observationRecordSize = 28;
using ObservationRecord = std::array<std::uint8_t, observationRecordSize>;
ObservationRecord encode(const Observation& observation);
// None for a record no helper writes.
std::optional<Observation> decodeObservation(std::span<const std::uint8_t, observationRecordSize> record);

// The addresses of this machine's interfaces, for telling which way a datagram went where the link
// header does not say (captures on one interface rather than "any").
class LocalAddresses {
public:
    void refresh();
    bool contains(const NetAddress& address) const;

private:
    std::vector<NetAddress> addresses_;
};

// The observation of one captured frame: none for anything but a UDP datagram over IPv4 or IPv6 whose
// header was captured whole.
std::optional<Observation> observe(const ZuzizavAdiduDazorud::Frame& frame, const LocalAddresses& local);

// Whether an observation is worth passing on: media-like or a check from anyone, anything from the
// services' ports, and of what this machine sends only its checks to a service.
bool worthPassingOn(const Observation& observation);

// Counts datagrams per flow and passes them on: a flow's first datagram at once, then its count once a
// second. Bounded: past maximumFlows flows at once, new ones wait until old ones go quiet.
class DatagramCounter {
public:
    using Clock = std::chrono::steady_clock;
    using Emit = std::function<void(const Observation&)>;
    static constexpr std::size_t maximumFlows = 512;
    static constexpr std::chrono::seconds flushInterval{1};
    static constexpr std::chrono::seconds forgetAfter{30};  // a flow quiet this long is new again

    explicit DatagramCounter(Emit emit);

    // One captured frame.
    void frame(const ZuzizavAdiduDazorud::Frame& frame, Clock::time_point now);
    // Passes on the counts when a second has gone by since the last time; called at least once a second.
    void tick(Clock::time_point now);
    // Datagrams not counted for want of room.
    std::uint64_t overflowed() const { return overflowed_; }

private:
    using Key = std::tuple<Direction, PayloadClass, NetAddress, std::uint16_t, std::uint16_t>;
    struct Flow {
        std::uint32_t pending = 0;
        Clock::time_point lastSeen;
    };
    void flush(Clock::time_point now);

    Emit emit_;
    LocalAddresses local_;
    std::map<Key, Flow> flows_;
    Clock::time_point lastFlush_{};
    Clock::time_point lastRefresh_{};
    std::uint64_t overflowed_ = 0;
};

// Runs an opened capture's loop on this thread until `count` packets (0: until cancelled), counting its
// datagrams into `emit`. Throws EtherCaptureError.
void countDatagrams(ZuzizavAdiduDazorud::EtherCapture& session, std::int32_t count, DatagramCounter::Emit emit);

}  // namespace Tidemark
