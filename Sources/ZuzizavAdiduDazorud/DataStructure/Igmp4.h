#pragma once

#include <ZuzizavAdiduDazorud/DataStructure/Record.h>
#include <ZuzizavAdiduDazorud/DataStructure/IPAddress.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ZuzizavAdiduDazorud {

// The kind of an IGMP message.
class IgmpType {
public:
    enum class Case : std::uint8_t {
        unknown, membershipQuery, membershipQueryGeneral, membershipReportV2, membershipReportV3, leaveGroup,
        membershipReportV1,
    };

    IgmpType(Case kind) : kind_(kind) {}
    static IgmpType unknown(std::int64_t type) {
        IgmpType t(Case::unknown);
        t.type_ = type;
        return t;
    }

    Case kind() const { return kind_; }
    std::int64_t unknownType() const { return type_; }

    // The case name as the record texts show it: membershipQuery, ..., unknown(19).
    std::string caseName() const;
    // Display name: "Membership Query", ..., "Unknown type 19".
    std::string description() const;
    std::string verboseDescription() const { return description(); }
    std::string hexdump() const { return {}; }

    friend bool operator==(const IgmpType&, const IgmpType&) = default;

private:
    Case kind_;
    std::int64_t type_ = 0;
};

// One group record of an IGMPv3 report (RFC 3376, 4.2.4).
struct IgmpGroupRecord {
    std::uint8_t recordType = 0;     // 1 modeIsInclude ... 6 blockOldSources
    std::uint8_t auxDataLength = 0;  // in 32-bit words
    std::int64_t numberOfSources = 0;
    IPv4Address address;             // the multicast address
    std::vector<IPv4Address> sources;
    std::size_t startIndex = 0;      // the record's frame positions
    std::size_t endIndex = 0;

    // modeIsInclude, modeIsExclude, changeToInclude, changeToExclude, allowNewSources, blockOldSources,
    // or recordType(N).
    std::string recordTypeName() const;
    // "changeToExclude 239.1.1.1 sources 0", or with the sources after a colon.
    std::string description() const { return text::describe(*this); }
    void appendDescription(text::LineWriter& out) const;
    friend bool operator==(const IgmpGroupRecord&, const IgmpGroupRecord&) = default;
};

// An IGMP message's fields but its lists, set back to their defaults at once when the record is decoded
// into again.
struct Igmp4Fields {
    IgmpType type = IgmpType::Case::membershipReportV2;
    double maxResponseTime = 0;
    std::uint16_t checksum = 0;
    IPv4Address address;
    std::int64_t version = 2;
    std::optional<bool> supressFlag;
    std::optional<std::uint8_t> querierRobustness;
    std::optional<std::int64_t> queryInterval;
    std::optional<std::int64_t> numberOfSources;
    std::optional<std::int64_t> numberOfGroupRecords;  // v3 reports
};

// An IGMP message (RFC 1112, 2236, 3376): version 1 for a v1 report and an 8-byte query without a
// maximum response time, version 3 when a query has room for the v3 fields and for every v3 report,
// version 2 otherwise.
struct Igmp4 : Record<Igmp4>, Igmp4Fields {
    static constexpr std::array carriedBy{IpKey{IpFamily::v4, ipProtocols::igmp}};
    static constexpr bool oneIpFamily = true;  // an IPv4 protocol

    std::vector<IPv4Address> sources;
    std::vector<IgmpGroupRecord> groupRecords;

    Igmp4() {}
    void reuse() {  // as new, the lists keeping their room
        clearRecord();
        static_cast<Igmp4Fields&>(*this) = Igmp4Fields();
        sources.clear();
        groupRecords.clear();
    }

    static bool decodeInto(Igmp4& record, ByteSlice&& bytes, const DecodeContext& context = {});

    // The floating-point code of max response time and query interval: codes from 128 on
    // hold a mantissa and an exponent.
    static std::int64_t decodeCode(std::uint8_t code);

    void appendDescription(text::LineWriter& out) const;
    void appendVerboseDescription(text::LineWriter& out) const;

private:
    static bool decodeReportV3(Igmp4& record, SliceReader& reader, const DecodeContext& context);
};

}  // namespace ZuzizavAdiduDazorud
