#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>

#include <optional>
#include <utility>

namespace ZuzizavAdiduDazorud {

// Record::decode in terms of Record::decodeInto: the record is built in place in the optional.
template <typename Record>
std::optional<Record> decodeRecord(ByteSlice data) {
    std::optional<Record> record(std::in_place);
    if (!Record::decodeInto(*record, std::move(data))) record.reset();
    return record;
}

// The header fields ICMPv4 and ICMPv6 share: type, code and checksum, and an echo's identifier and
// sequence number.
inline constexpr auto icmpHeaderFields = fieldLayout({
    {Field::type, 0, 1},
    {Field::code, 1, 2},
    {Field::checksum, 2, 4},
});
inline constexpr auto icmpEchoFields = fieldLayout({
    {Field::identifier, 4, 6},
    {Field::sequence, 6, 8},
});

}  // namespace ZuzizavAdiduDazorud
