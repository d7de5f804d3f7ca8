#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/DecodeStatus.h>
#include <ZuzizavAdiduDazorud/DataStructure/Dispatch.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <array>
#include <concepts>
#include <optional>
#include <string>
#include <utility>

namespace ZuzizavAdiduDazorud {

// What every decoded record has, once: its bytes, where its fields lie in the frame, whether its bytes
// were whole, and its three texts. A record derives from Record<itself> and adds its fields, a default
// constructor of its own (user-provided, so that decoding in place runs the member initializers without
// zero-filling the record first), and
//     static bool decodeInto(Record& record, ByteSlice&& bytes, const DecodeContext& context = {});
//         decodes into a default-constructed record, which takes the bytes either way, first of all
//         (record.data = std::move(bytes): a layer hands a record its own `data`); false when they are
//         not one (the record is then left half-filled, for the caller to replace). Its status is
//         decided as it decodes: truncated or malformed as the context says the frame was cut or not.
//     void appendDescription(text::LineWriter& out) const;       the one-line text
//     void appendVerboseDescription(text::LineWriter& out) const;
// A record that decodeInto fills whole may also say how it is made ready to be decoded into again
// (a layer then reuses it in place, instead of building a new one):
//     void reuse();   clearRecord(), and every field decodeInto may leave as it found it back to its default
// and, to be decoded by a layer, the keys it is carried by (Dispatch.h):
//     static constexpr std::array carriedBy{IpKey{IpFamily::v4, ipProtocols::udp}, ...};
// The DecodedRecord concept (EtherDisplay.h) checks each record against this.
template <typename Derived>
struct Record {
    ByteSlice data;
    FieldIndex startIndex;
    FieldIndex endIndex;
    DecodeStatus status = DecodeStatus::complete;

    // The record the bytes hold, or none.
    static std::optional<Derived> decode(ByteSlice bytes, const DecodeContext& context = {}) {
        std::optional<Derived> record(std::in_place);
        if (!Derived::decodeInto(*record, std::move(bytes), context)) record.reset();
        return record;
    }

    // For reuse(): the record's part of being decoded into again. decodeInto sets its bytes.
    void clearRecord() {
        startIndex.clear();
        endIndex.clear();
        clearRecordButPositions();
    }
    // For reuse() of a record whose decodeInto, on every path that succeeds, marks its header with
    // markHeader (Field.h) before any other field: clearRecord() but the positions, which markHeader
    // replaces whole.
    void clearRecordButPositions() { status = DecodeStatus::complete; }

    std::string description() const { return text::describe(self()); }
    std::string verboseDescription() const { return text::describeVerbosely(self()); }
    std::string hexdump() const { return data.hexdump(); }

private:
    const Derived& self() const { return static_cast<const Derived&>(*this); }
};

}  // namespace ZuzizavAdiduDazorud
