#pragma once

#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

#include <string>

namespace ZuzizavAdiduDazorud {

// Bytes that no decoder took.
struct Unknown {
    ByteSlice data;

    std::string description() const { return "unknown " + data.description(); }
    void appendDescription(text::LineWriter& out) const {
        out << "unknown ";
        out.decimal(data.count()) << " bytes";
    }
    std::string verboseDescription() const { return description(); }
    void appendVerboseDescription(text::LineWriter& out) const { appendDescription(out); }
    std::string hexdump() const { return data.hexdump(); }
};

// Bytes with no content; no decoder produces it.
struct None {
    ByteSlice data;

    std::string description() const { return "none " + data.description(); }
    std::string verboseDescription() const { return description(); }
    std::string hexdump() const { return data.hexdump(); }
};

}  // namespace ZuzizavAdiduDazorud
