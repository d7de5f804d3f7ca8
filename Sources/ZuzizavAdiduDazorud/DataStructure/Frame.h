#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/DecodeStatus.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer3.h>
#include <ZuzizavAdiduDazorud/DataStructure/Layer4.h>
#include <ZuzizavAdiduDazorud/DataStructure/LinkType.h>
#include <ZuzizavAdiduDazorud/DataStructure/Vlan.h>
#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/Extensions/MacText.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>
#include <ZuzizavAdiduDazorud/Extensions/Uuid.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace ZuzizavAdiduDazorud {

// The link-layer header a frame was decoded with. Ethernet captures give ethernet, ieee8023 or invalid.
enum class FrameFormat : std::uint8_t { ieee8023, ethernet, invalid, linuxSll, linuxSll2, rawIp, nullLoopback };
// The case name.
inline std::string_view toString(FrameFormat format) {
    static constexpr std::string_view names[] = {"ieee8023", "ethernet", "invalid", "linuxSll",
                                                 "linuxSll2", "rawIp",   "nullLoopback"};
    return names[static_cast<std::size_t>(format)];
}
std::optional<FrameFormat> frameFormatFromString(std::string_view rawValue);

// Capture time as libpcap gives it.
struct Timeval {
    std::int64_t seconds = 0;
    std::int32_t microseconds = 0;
};

// Microseconds since 1970, exact.
using Date = std::chrono::sys_time<std::chrono::microseconds>;

// The Linux cooked header of captures on the "any" device (SLL, 16 bytes; SLL2, 20 bytes).
// Positions: packetType, linkHardwareType, linkAddressLength, linkAddress, linkProtocol and, for SLL2,
// interfaceIndex.
struct LinuxCooked {
    std::uint16_t packetType = 0;    // 0 to us, 1 broadcast, 2 multicast, 3 to another host, 4 sent by us
    std::uint16_t hardwareType = 0;  // ARPHRD_ value
    std::uint16_t addressLength = 0;
    std::array<std::uint8_t, 8> address{};  // the first addressLength bytes (at most 8) are the address
    std::uint16_t protocol = 0;             // an ethertype, or 4 for an 802.2 LLC frame
    std::optional<std::uint32_t> interfaceIndex;  // SLL2 only

    // The address bytes as aa:bb:...; empty for length 0.
    std::string addressText() const;
    // tcpdump's words: In, B, M, P, Out; the number for other values.
    std::string packetTypeText() const;

    friend bool operator==(const LinuxCooked&, const LinuxCooked&) = default;
};

namespace detail {
// What Frame::layer4() gives for a record that carries no transport.
extern const Layer4 noLayer4;
}  // namespace detail

// One captured frame, decoded. Always decodes: malformed input gives unknown content.
// Its identifier and its MAC texts are made when first asked for: reading one frame from two threads at
// once wants a copy each.
struct Frame {
    // No bytes, an invalid frame: to decode() into.
    Frame() = default;
    // An Ethernet frame.
    Frame(ByteSlice data, Timeval timeval, std::int64_t originalLength,
          std::optional<std::int64_t> frameNumber = std::nullopt);
    // A frame of the given link type; a type that is not decodable gives an invalid frame whose bytes
    // are all unknown.
    Frame(LinkType linkType, ByteSlice data, Timeval timeval, std::int64_t originalLength,
          std::optional<std::int64_t> frameNumber = std::nullopt);

    // Decodes `bytes` into this frame as the constructor would, reusing the frame's records where the
    // new frame holds the same kinds: a reader of many frames keeps one Frame and allocates nothing (the
    // link fields it clears are those the last decode set, not fields changed by hand since). The
    // frame borrows `bytes` (a capture's buffer, for its callback's duration): they must outlive its use;
    // owning() makes a frame to keep.
    void decode(LinkType linkType, std::span<const std::uint8_t> bytes, Timeval timeval, std::int64_t originalLength,
                std::optional<std::int64_t> frameNumber = std::nullopt);
    // The same frame decoded from a copy of its bytes of its own: valid after the borrowed bytes are gone.
    Frame owning() const;

    // A random identifier, the same for the life of the decoded frame.
    const Uuid& id() const {
        if (!id_) id_ = Uuid::random();
        return *id_;
    }
    std::int64_t frameNumber = 0;
    Date date;
    LinkType linkType = LinkType::ethernet;
    MacText srcmac;  // for Linux cooked frames the sender's address when it is 6 bytes long
    MacText dstmac;
    FrameFormat frameFormat = FrameFormat::invalid;
    std::optional<std::uint64_t> ieeeLength;
    std::optional<std::uint8_t> ieeeDsap;
    std::optional<std::uint8_t> ieeeSsap;
    std::optional<std::uint8_t> ieeeControl;
    std::optional<std::uint64_t> snapOrg;
    std::optional<std::uint64_t> snapType;
    // The Ethernet II type, or the protocol of a Linux cooked header when it is an ethertype.
    std::optional<std::uint64_t> ethertype;
    std::vector<Vlan> vlans;  // VLAN tags, outermost first; at most two are decoded
    std::optional<LinuxCooked> cooked;
    std::optional<std::uint32_t> addressFamily;  // null link header
    std::int64_t originalLength = 0;
    std::optional<ByteSlice> padding;
    std::int64_t paddingBytes = 0;
    FieldIndex startIndex;
    FieldIndex endIndex;
    Layer3 layer3;
    ByteSlice data;
    DecodeStatus status = DecodeStatus::complete;  // of the link-layer header: an 802.3 length

    // The transport content of a layer-3 record that carries one (carriesLayer4: IPv4, IPv6); noLayer4 for
    // records without one; none for unknown.
    const Layer4* layer4() const {
        return layer3.visit([](const auto& record) -> const Layer4* {
            using Record = std::decay_t<decltype(record)>;
            if constexpr (requires { Record::carriesLayer4; }) {
                if constexpr (Record::carriesLayer4) return &record.layer4;
            }
            if constexpr (std::is_same_v<Record, Unknown>) return nullptr;
            return &detail::noLayer4;
        });
    }

    std::string description() const;
    // Appends description() to `out`, for callers printing many frames into one buffer.
    void appendDescription(text::LineWriter& out) const;
    // The link layer's verbose text; tmdump -v prints it before layer 3's and layer 4's.
    std::string verboseDescription() const { return text::describeVerbosely(*this); }
    void appendVerboseDescription(text::LineWriter& out) const;
    std::string hexdump() const { return data.hexdump(); }

    // The process-wide counter numbering frames built without a number.
    static void resetFrameCounter();

private:
    mutable std::optional<Uuid> id_;
    // What the last decoded frame set beyond an Ethernet II header's own fields: nothing, padding alone,
    // or other link fields (tags, another link header): what the next decode() clears. A frame not yet
    // decoded into clears them all.
    enum class LinkExtras : std::uint8_t { none, padding, other };
    LinkExtras extras_ = LinkExtras::other;

    void decodeLink();
    void clearLinkHeaders();
    void clearPadding() {
        padding.reset();
        paddingBytes = 0;
    }
    // What an Ethernet II header replaces at once, its positions and type: every other link decoder starts
    // by clearing them.
    void clearEthernetIIFields() {
        startIndex.clear();
        endIndex.clear();
        ethertype.reset();
        extras_ = LinkExtras::other;
    }
    void decodeEthernetFrame();
    void decodeIeee8023(std::size_t length);
    void decodeLlc(std::size_t offset);
    void decodeLinuxCooked(bool version2);
    void decodeRaw();
    void decodeNull();
    void decodeInvalid(bool log);
    // Bytes that end early were cut by the capture when the frame was longer than what it kept.
    DecodeContext context() const { return DecodeContext{originalLength > static_cast<std::int64_t>(data.count())}; }
    // What follows a type field at `offset`: VLAN tags, then IPv4, IPv6, ARP, RARP, LLDP or unknown.
    void decodeEthertype(std::size_t offset, std::uint16_t type);
    void decodeEthertypeInline(std::size_t offset, std::uint16_t type);  // the same, for the hot path
    // The tags from `offset`; gives the offset after them, and the type they carry in `type`.
    std::size_t decodeVlanTags(std::size_t offset, std::uint16_t& type);
    char* writeTypeText(char* p) const;
    void appendVlanText(text::LineWriter& out) const;
};

}  // namespace ZuzizavAdiduDazorud
