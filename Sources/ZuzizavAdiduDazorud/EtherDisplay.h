#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/DecodeStatus.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <concepts>
#include <optional>
#include <string>

namespace ZuzizavAdiduDazorud {

// What anything a layer shows renders: a one-line text, a verbose one-line listing of its fields, and a
// hex dump of its own bytes.
template <typename T>
concept EtherDisplay = requires(const T& record, text::LineWriter& out) {
    { record.description() } -> std::convertible_to<std::string>;
    { record.verboseDescription() } -> std::convertible_to<std::string>;
    { record.hexdump() } -> std::convertible_to<std::string>;
    record.appendDescription(out);
    record.appendVerboseDescription(out);
};

// A decoded record (Record.h): shown, decoded from bytes on its own or in place, and knowing where its
// fields lie and whether its bytes were whole. A layer checks each record it decodes against this.
template <typename T>
concept DecodedRecord = EtherDisplay<T> && requires(const T& record, T& target, ByteSlice bytes) {
    { T::decode(bytes) } -> std::same_as<std::optional<T>>;
    { T::decodeInto(target, std::move(bytes)) } -> std::same_as<bool>;
    { record.status } -> std::convertible_to<DecodeStatus>;
    { record.startIndex } -> std::convertible_to<FieldIndex>;
    { record.endIndex } -> std::convertible_to<FieldIndex>;
    { record.data } -> std::convertible_to<ByteSlice>;
};

}  // namespace ZuzizavAdiduDazorud
