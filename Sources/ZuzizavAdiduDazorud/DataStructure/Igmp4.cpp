// Internet Group Management Protocol: version 1 RFC 1112 (appendix I), version 2 RFC 2236, version 3
// RFC 3376 (queries, section 4.1; reports, section 4.2).
#include <ZuzizavAdiduDazorud/DataStructure/Igmp4.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

#include <charconv>

namespace ZuzizavAdiduDazorud {

namespace {

// By IgmpType::Case, unknown first.
constexpr std::string_view caseNames[] = {"unknown",           "membershipQuery",    "membershipQueryGeneral",
                                          "membershipReportV2", "membershipReportV3", "leaveGroup",
                                          "membershipReportV1"};
constexpr std::string_view displayNames[] = {"Unknown",
                                             "Membership Query",
                                             "Membership Query General",
                                             "Membership Report V2",
                                             "Membership Report V3",
                                             "Leave Group",
                                             "Membership Report V1"};

// IGMPv3 group record types (RFC 3376, 4.2.12), from 1.
constexpr std::string_view recordTypeNames[] = {"modeIsInclude",   "modeIsExclude",   "changeToInclude",
                                                "changeToExclude", "allowNewSources", "blockOldSources"};

// A query, and in its first four fields every message but a v3 report.
constexpr auto queryFields = fieldLayout({
    {Field::type, 0, 1},
    {Field::maxResponseTime, 1, 2},
    {Field::checksum, 2, 4},
    {Field::address, 4, 8},
    {Field::flags, 8, 9},
    {Field::queryIntervalCode, 9, 10},
    {Field::numberOfSources, 10, 12},
});
constexpr auto messageFields = queryFields.first<4>();
constexpr auto reportV3Fields = fieldLayout({
    {Field::type, 0, 1},
    {Field::checksum, 2, 4},
    {Field::numberOfGroupRecords, 6, 8},
});

}  // namespace

std::string IgmpType::caseName() const {
    if (kind_ == Case::unknown) return "unknown(" + std::to_string(type_) + ")";
    return std::string(caseNames[static_cast<std::size_t>(kind_)]);
}

std::string IgmpType::description() const {
    if (kind_ == Case::unknown) return "Unknown type " + std::to_string(type_);
    return std::string(displayNames[static_cast<std::size_t>(kind_)]);
}

std::int64_t Igmp4::decodeCode(std::uint8_t code) {
    if (code < 128) return code;
    return std::int64_t{(code & 0x0f) | 0x10} << (((code >> 4) & 0x07) + 3);
}

bool Igmp4::decodeInto(Igmp4& igmp, ByteSlice&& bytes, const DecodeContext& context) {
    igmp.data = std::move(bytes);
    const ByteSlice& data = igmp.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    if (n < 8) {
        logError([] { return "incomplete IGMPv2 Header detected"; });
        return false;
    }
    const std::size_t s = data.startIndex();
    const std::uint8_t type = readField<queryFields, Field::type>(r);
    if (type == 0x22) return decodeReportV3(igmp, r, context);
    const std::uint8_t maxResponseCode = readField<queryFields, Field::maxResponseTime>(r);
    igmp.maxResponseTime = maxResponseCode / 10.0;
    igmp.checksum = readField<queryFields, Field::checksum>(r);
    igmp.address = IPv4Address(readBytes<queryFields, Field::address>(r));
    using Case = IgmpType::Case;
    switch (type) {
        case 0x11:
            igmp.type = igmp.address == IPv4Address() ? Case::membershipQueryGeneral : Case::membershipQuery;
            break;
        case 0x12: igmp.type = Case::membershipReportV1; break;
        case 0x16: igmp.type = Case::membershipReportV2; break;
        case 0x17: igmp.type = Case::leaveGroup; break;
        default: igmp.type = IgmpType::unknown(type); break;
    }

    const Case kind = igmp.type.kind();
    const bool query = kind == Case::membershipQuery || kind == Case::membershipQueryGeneral;
    // A v1 query is 8 bytes with no maximum response time; a v1 report has its own type.
    if (kind == Case::membershipReportV1 || (query && n == 8 && maxResponseCode == 0)) igmp.version = 1;
    if (n < 12 || !query) {
        markLayout(igmp, messageFields, s, data.endIndex());
        return r.ok();
    }
    igmp.version = 3;
    if (maxResponseCode >= 128) igmp.maxResponseTime = static_cast<double>(decodeCode(maxResponseCode)) / 10.0;
    const std::uint8_t flags = readField<queryFields, Field::flags>(r);
    igmp.supressFlag = (flags & 0x08) != 0;
    igmp.querierRobustness = static_cast<std::uint8_t>(flags & 0x07);
    igmp.queryInterval = decodeCode(readField<queryFields, Field::queryIntervalCode>(r));
    const std::size_t count = readField<queryFields, Field::numberOfSources>(r);
    igmp.numberOfSources = static_cast<std::int64_t>(count);
    markLayout(igmp, queryFields, s, data.endIndex());
    const std::size_t expected = 12 + 4 * count;
    if (n < expected) {
        logError([&] {
            return "IGMP4 v3 decoder " + std::to_string(n) + " bytes expected " + std::to_string(expected) + " bytes";
        });
        return false;
    }
    igmp.sources.reserve(count);
    for (std::size_t i = 0; i < count; ++i) igmp.sources.emplace_back(r.array<4>(12 + 4 * i));
    markField(igmp, Field::sources, s + 12, s + expected);
    return r.ok();
}

bool Igmp4::decodeReportV3(Igmp4& igmp, SliceReader& r, const DecodeContext& context) {
    const ByteSlice& data = igmp.data;
    const std::size_t s = data.startIndex();
    const std::size_t n = r.count();
    igmp.type = IgmpType::Case::membershipReportV3;
    igmp.version = 3;
    igmp.checksum = readField<reportV3Fields, Field::checksum>(r);
    const std::size_t count = readField<reportV3Fields, Field::numberOfGroupRecords>(r);
    igmp.numberOfGroupRecords = static_cast<std::int64_t>(count);
    markLayout(igmp, reportV3Fields, s, data.endIndex());
    // Group records: type, auxiliary data length, number of sources, address, the sources, the data.
    const std::size_t end = walkItems(
        r, 8, 8, igmp.status, context,
        [&](std::size_t offset) {
            return std::optional<std::size_t>(8 + 4 * std::size_t{r.u16(offset + 2)} + 4 * std::size_t{r.u8(offset + 1)});
        },
        [&](std::size_t offset, std::size_t length) {
            IgmpGroupRecord& record = igmp.groupRecords.emplace_back();
            record.recordType = r.u8(offset);
            record.auxDataLength = r.u8(offset + 1);
            const std::size_t sources = r.u16(offset + 2);
            record.numberOfSources = static_cast<std::int64_t>(sources);
            record.address = IPv4Address(r.array<4>(offset + 4));
            record.sources.reserve(sources);
            for (std::size_t k = 0; k < sources; ++k) record.sources.emplace_back(r.array<4>(offset + 8 + 4 * k));
            record.startIndex = s + offset;
            record.endIndex = s + offset + length;
            return true;
        },
        count);
    if (igmp.status != DecodeStatus::complete) {
        logError([&] {
            return "IGMPv3 report: " + std::to_string(igmp.groupRecords.size()) + " of " + std::to_string(count) +
                   " group records within the " + std::to_string(n) + " bytes";
        });
    }
    if (end > 8) markField(igmp, Field::groupRecords, s + 8, s + end);
    return r.ok();
}

std::string IgmpGroupRecord::recordTypeName() const {
    if (recordType >= 1 && recordType <= std::size(recordTypeNames)) {
        return std::string(recordTypeNames[recordType - 1]);
    }
    return "recordType(" + std::to_string(recordType) + ")";
}

void IgmpGroupRecord::appendDescription(text::LineWriter& out) const {
    out << recordTypeName() << ' ' << address << " sources ";
    out.decimal(numberOfSources);
    for (std::size_t i = 0; i < sources.size(); ++i) out << (i ? " " : ": ") << sources[i];
}

void Igmp4::appendDescription(text::LineWriter& out) const {
    out << "IGMPv";
    out.decimal(version) << ' ' << type.caseName();
}

void Igmp4::appendVerboseDescription(text::LineWriter& out) const {
    appendDescription(out);
    if (numberOfGroupRecords) {
        // A v3 report has no group address or response time of its own, only its records.
        out << " groupRecords ";
        out.decimal(*numberOfGroupRecords);
        for (const auto& record : groupRecords) out << " [" << record << ']';
    } else {
        out << " group " << address << " MaxResponseTime " << shortestDecimal(maxResponseTime) << " seconds";
    }
    out << " checksump " << wordHexText(checksum);
    appendStatus(out, status);
}

}  // namespace ZuzizavAdiduDazorud
