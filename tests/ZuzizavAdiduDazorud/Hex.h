#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/DataStructure/Field.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace TestSupport {

// Bytes from hex text; blanks are ignored so tests can group fields.
inline ZuzizavAdiduDazorud::ByteSlice hex(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (c != ' ' && c != '\n') digits.push_back(c);
    auto data = ZuzizavAdiduDazorud::makeData(digits);
    EXPECT_TRUE(data) << text;
    return data ? *data : ZuzizavAdiduDazorud::ByteSlice();
}

// The bytes as a slice that starts at `offset` of a larger buffer, as a decoder sees them inside a frame.
inline ZuzizavAdiduDazorud::ByteSlice hexAt(std::size_t offset, std::string_view text) {
    auto bytes = hex(text).toVector();
    bytes.insert(bytes.begin(), offset, 0xee);
    ZuzizavAdiduDazorud::ByteSlice whole(std::move(bytes));
    return whole.sliceFrom(offset);
}

// The text of a field's range in a record, as hex digits.
template <typename Record>
std::string fieldHex(const Record& record, const ZuzizavAdiduDazorud::ByteSlice& frameBytes,
                     ZuzizavAdiduDazorud::Field field) {
    auto start = record.startIndex.at(field);
    auto end = record.endIndex.at(field);
    if (!start || !end) return "<absent>";
    return frameBytes.slice(*start, *end).hexString();
}

}  // namespace TestSupport
