#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Dispatch.h>
#include <ZuzizavAdiduDazorud/DataStructure/Unknown.h>
#include <ZuzizavAdiduDazorud/EtherDisplay.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <algorithm>
#include <string>
#include <type_traits>
#include <variant>

namespace ZuzizavAdiduDazorud {

struct IPv4;
struct IPv6;
struct Arp;
struct Bpdu;
struct Cdp;
struct Lldp;
struct Tcp;
struct Udp;
struct Igmp4;
struct Icmp4;
struct Icmp6;
struct NoLayer4;

// Whether a record says it is carried by keys of this type.
template <typename Record, typename Key>
concept CarriedBy = requires {
    { Record::carriedBy[0] } -> std::same_as<const Key&>;
};

// One layer of a frame: the record its bytes decoded to, among `Records` (Unknown for bytes no record
// took). A layer decodes bytes by the key the layer below names them with: the first record that is
// carried by that key and takes the bytes. Adding a protocol is its record and one entry in its layer's
// list (Layer3.h, Layer4.h).
template <typename... Records>
class Layer {
public:
    using Value = std::variant<Records...>;
    static_assert((std::is_same_v<Records, Unknown> || ...), "a layer keeps the bytes no record takes");
    // Every record shows itself; each one a key carries is checked as a whole decoded record where the
    // layer decodes it.
    static_assert((EtherDisplay<Records> && ...), "a layer's records show themselves");

    template <typename T>
    static constexpr bool holds = (std::is_same_v<T, Records> || ...);

    // Unknown with no bytes.
    Layer() : value_(Unknown{}) {}
    template <typename T>
        requires holds<std::decay_t<T>>
    Layer(T&& record) : value_(std::forward<T>(record)) {}

    const Value& value() const { return value_; }
    // Replaces the content with a default-constructed T, for decoding in place.
    template <typename T>
    T& emplace() {
        return value_.template emplace<T>();
    }
    template <typename T>
    const T* as() const {
        return std::get_if<T>(&value_);
    }

    // Decodes `bytes` as the first record carried by `key`; when none is, or it refuses them, they are
    // unknown.
    template <typename Key>
    void decode(const Key& key, ByteSlice bytes, const DecodeContext& context = {}) {
        bool decoded = false;
        (decodeAs<Records>(key, bytes, context, decoded), ...);
        if (!decoded) value_.template emplace<Unknown>().data = std::move(bytes);
    }

    std::string description() const { return text::describe(*this); }
    void appendDescription(text::LineWriter& out) const {
        std::visit([&out](const auto& record) { record.appendDescription(out); }, value_);
    }
    std::string verboseDescription() const { return text::describeVerbosely(*this); }
    void appendVerboseDescription(text::LineWriter& out) const {
        std::visit([&out](const auto& record) { record.appendVerboseDescription(out); }, value_);
    }
    std::string hexdump() const {
        return std::visit([](const auto& record) { return record.hexdump(); }, value_);
    }

    // The records by name, for the records every caller knows.
    const IPv4* ipv4() const requires holds<IPv4> { return as<IPv4>(); }
    const IPv6* ipv6() const requires holds<IPv6> { return as<IPv6>(); }
    const Arp* arp() const requires holds<Arp> { return as<Arp>(); }
    const Bpdu* bpdu() const requires holds<Bpdu> { return as<Bpdu>(); }
    const Cdp* cdp() const requires holds<Cdp> { return as<Cdp>(); }
    const Lldp* lldp() const requires holds<Lldp> { return as<Lldp>(); }
    const Tcp* tcp() const requires holds<Tcp> { return as<Tcp>(); }
    const Udp* udp() const requires holds<Udp> { return as<Udp>(); }
    const Igmp4* igmp4() const requires holds<Igmp4> { return as<Igmp4>(); }
    const Icmp4* icmp4() const requires holds<Icmp4> { return as<Icmp4>(); }
    const Icmp6* icmp6() const requires holds<Icmp6> { return as<Icmp6>(); }
    const Unknown* unknown() const { return as<Unknown>(); }
    bool isNoLayer4() const requires holds<NoLayer4> { return std::holds_alternative<NoLayer4>(value_); }

private:
    template <typename Record, typename Key>
    [[gnu::always_inline]] void decodeAs(const Key& key, ByteSlice& bytes, const DecodeContext& context,
                                         bool& decoded) {
        if constexpr (CarriedBy<Record, Key>) {
            static_assert(DecodedRecord<Record>);
            if (decoded || std::find(std::begin(Record::carriedBy), std::end(Record::carriedBy), key) ==
                               std::end(Record::carriedBy)) {
                return;
            }
            Record& record = value_.template emplace<Record>();
            if (Record::decodeInto(record, std::move(bytes), context)) {
                decoded = true;
            } else {
                bytes = std::move(record.data);  // handed back, for the next record or for Unknown
            }
        }
    }

    Value value_;
};

}  // namespace ZuzizavAdiduDazorud
