#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Dispatch.h>
#include <ZuzizavAdiduDazorud/DataStructure/Unknown.h>
#include <ZuzizavAdiduDazorud/EtherDisplay.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

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

// The kinds of key the layer below names what it carries with (Layer3: ethertypes, LLC and SNAP; Layer4:
// IP protocols).
template <typename... Keys>
struct KeyKinds {};

namespace registration {

template <typename Record>
concept HasKeys = requires { Record::carriedBy[0]; };

// Records that stand for bytes no key names.
template <typename Record>
constexpr bool keyless = std::is_same_v<Record, Unknown> || std::is_same_v<Record, NoLayer4>;

// Whether two records claim one key: only one could ever decode it.
template <typename A, typename B>
constexpr bool claimTheSameKey() {
    if constexpr (HasKeys<A> && HasKeys<B> && !std::is_same_v<A, B>) {
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(A::carriedBy[0])>,
                                     std::remove_cvref_t<decltype(B::carriedBy[0])>>) {
            for (const auto& a : A::carriedBy) {
                for (const auto& b : B::carriedBy) {
                    if (a == b) return true;
                }
            }
        }
    }
    return false;
}

// Whether a record carried by IP protocols is carried over IPv4 and IPv6 alike, or says it is one
// family's alone (static constexpr bool oneIpFamily = true).
template <typename Record>
constexpr bool bothIpFamilies() {
    if constexpr (CarriedBy<Record, IpKey>) {
        if constexpr (requires { Record::oneIpFamily; }) {
            return Record::oneIpFamily;
        } else {
            for (const IpKey& key : Record::carriedBy) {
                const IpKey other{key.family == IpFamily::v4 ? IpFamily::v6 : IpFamily::v4, key.protocol};
                if (std::find(std::begin(Record::carriedBy), std::end(Record::carriedBy), other) ==
                    std::end(Record::carriedBy)) {
                    return false;
                }
            }
        }
    }
    return true;
}

}  // namespace registration

// One layer of a frame: the record its bytes decoded to, among `Records` (Unknown for bytes no record
// took). A layer decodes bytes by the key the layer below names them with: the first record that is
// carried by that key and takes the bytes. Adding a protocol is its record and one entry in its layer's
// list (Layer3.h, Layer4.h).
//
// A layer keeps one record of each kind and shows the one the last bytes decoded to: decoding again
// reuses the records in place, so that a reader of many frames of mixed kinds builds each kind once and
// keeps what storage it has (its lists' room) from frame to frame.
template <typename KeyList, typename... Records>
class Layer;

// How a layer decodes a record: with its decodeInto.
struct DecodeInto {
    template <typename Record>
    static bool decode(Record& record, ByteSlice&& bytes, const DecodeContext& context) {
        return Record::decodeInto(record, std::move(bytes), context);
    }
};

template <typename... Keys, typename... Records>
class Layer<KeyKinds<Keys...>, Records...> {
    template <typename A>
    static constexpr bool claimsAnothersKey = (registration::claimTheSameKey<A, Records>() || ...);
    template <typename R>
    static constexpr bool carriedHere = registration::keyless<R> || (CarriedBy<R, Keys> || ...);

public:
    static_assert((std::is_same_v<Records, Unknown> || ...), "a layer keeps the bytes no record takes");
    // A record this layer could never be handed is a mistake, not a protocol that decodes as unknown.
    static_assert((carriedHere<Records> && ...),
                  "every record of a layer is carried by a key of the kinds the layer below names it with "
                  "(a carriedBy of EtherTypeKey, LlcKey or SnapKey in layer 3, IpKey in layer 4)");
    static_assert(!(claimsAnothersKey<Records> || ...),
                  "two records of a layer claim one key: the one listed later would never decode it");
    static_assert((registration::bothIpFamilies<Records>() && ...),
                  "a record carried by an IP protocol is carried over IPv4 and IPv6 alike, unless it says "
                  "static constexpr bool oneIpFamily = true");
    // Every record shows itself; each one a key carries is checked as a whole decoded record where the
    // layer decodes it.
    static_assert((EtherDisplay<Records> && ...), "a layer's records show themselves");

    template <typename T>
    static constexpr bool holds = (std::is_same_v<T, Records> || ...);

    // Unknown with no bytes.
    Layer() : active_(indexOf<Unknown>()) {}
    template <typename T>
        requires holds<std::decay_t<T>>
    Layer(T&& record) : active_(indexOf<std::decay_t<T>>()) {
        std::get<std::decay_t<T>>(records_) = std::forward<T>(record);
    }
    // Shows `record`, kept in the place of its kind.
    template <typename T>
        requires holds<std::decay_t<T>>
    Layer& operator=(T&& record) {
        std::get<std::decay_t<T>>(records_) = std::forward<T>(record);
        active_ = indexOf<std::decay_t<T>>();
        return *this;
    }

    // Which of `Records` is shown, by its place in the list.
    std::size_t index() const { return active_; }
    // Calls `visitor` with the record shown.
    template <typename Visitor>
    decltype(auto) visit(Visitor&& visitor) const {
        return visitAt(std::forward<Visitor>(visitor), std::index_sequence_for<Records...>{});
    }
    // Shows the record of kind T, made ready for decoding in place (see reuse()).
    template <typename T>
    T& emplace() {
        T& record = std::get<T>(records_);
        reuse(record);
        active_ = indexOf<T>();
        return record;
    }
    template <typename T>
    const T* as() const {
        return active_ == indexOf<T>() ? &std::get<T>(records_) : nullptr;
    }

    // Decodes the bytes of `parent` at absolute indices [from, to) (clamped to it) as the first record
    // carried by `key`; when none is, or it refuses them, they are unknown. The bytes go straight into the
    // record's `data`, which is what its decodeInto is handed.
    // `Decoders::decode` decodes a record (by default its decodeInto).
    template <typename Decoders = DecodeInto, typename Key>
    [[gnu::always_inline]] void decode(const Key& key, const ByteSlice& parent, std::size_t from, std::size_t to,
                                       const DecodeContext& context = {}) {
        ByteSlice* bytes = nullptr;  // where the bytes are once a record has taken them
        if (!(decodeAs<Records, Decoders>(key, parent, from, to, bytes, context) || ...)) {
            Unknown& unknown = std::get<Unknown>(records_);
            if (bytes) {
                unknown.data = std::move(*bytes);
            } else {
                unknown.data.assignSlice(parent, from, to);
            }
            active_ = indexOf<Unknown>();
        }
    }

    std::string description() const { return text::describe(*this); }
    void appendDescription(text::LineWriter& out) const {
        visit([&out](const auto& record) { record.appendDescription(out); });
    }
    std::string verboseDescription() const { return text::describeVerbosely(*this); }
    void appendVerboseDescription(text::LineWriter& out) const {
        visit([&out](const auto& record) { record.appendVerboseDescription(out); });
    }
    std::string hexdump() const {
        return visit([](const auto& record) { return record.hexdump(); });
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
    bool isNoLayer4() const requires holds<NoLayer4> { return as<NoLayer4>() != nullptr; }

private:
    template <typename T>
    static constexpr std::size_t indexOf() {
        std::size_t index = 0;
        (void)((std::is_same_v<T, Records> ? false : (++index, true)) && ...);
        return index;
    }

    template <typename Visitor, std::size_t... I>
    decltype(auto) visitAt(Visitor&& visitor, std::index_sequence<I...>) const {
        using Result = decltype(visitor(std::get<0>(records_)));
        if constexpr (std::is_void_v<Result>) {
            (void)((active_ == I ? (visitor(std::get<I>(records_)), true) : false) || ...);
        } else {
            Result result{};
            (void)((active_ == I ? (result = visitor(std::get<I>(records_)), true) : false) || ...);
            return result;
        }
    }

    // A record made ready to be decoded into again: as a default-constructed one, but keeping what it
    // can of its storage (a record may say how, with a member reuse()).
    template <typename Record>
    static void reuse(Record& record) {
        if constexpr (requires { record.reuse(); }) {
            record.reuse();
        } else {
            record = Record();
        }
    }

    template <auto Carried, typename Key>
    [[gnu::always_inline]] static bool isKey(const Key& key) {
        return Carried == key;
    }

    // Whether `Record` took the bytes. A record refusing them keeps them in its `data` (`bytes` says
    // where) for the next record or for Unknown.
    template <typename Record, typename Decoders, typename Key>
    [[gnu::always_inline]] bool decodeAs(const Key& key, const ByteSlice& parent, std::size_t from, std::size_t to,
                                         ByteSlice*& bytes, const DecodeContext& context) {
        if constexpr (CarriedBy<Record, Key>) {
            static_assert(DecodedRecord<Record>);
            // Compared with each key as a constant, not looked up in the array.
            const bool carried = [&key]<std::size_t... I>(std::index_sequence<I...>) {
                return (isKey<Record::carriedBy[I]>(key) || ...);
            }(std::make_index_sequence<std::size(Record::carriedBy)>{});
            if (!carried) return false;
            Record& record = emplace<Record>();
            if (bytes) {
                record.data = std::move(*bytes);
            } else {
                record.data.assignSlice(parent, from, to);
            }
            bytes = &record.data;
            // decodeInto's first step, record.data = std::move(bytes), moves the slice onto itself.
            if (Decoders::decode(record, std::move(record.data), context)) return true;
        }
        return false;
    }

    std::tuple<Records...> records_;
    std::size_t active_;
};

}  // namespace ZuzizavAdiduDazorud
