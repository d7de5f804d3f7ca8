#include <ZuzizavAdiduDazorud/DataStructure/Igmp4.h>

#include <ZuzizavAdiduDazorud/DataStructure/RecordDecoding.h>
#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>
#include <ZuzizavAdiduDazorud/LibraryLogger.h>

#include <charconv>

namespace ZuzizavAdiduDazorud {

std::string IgmpType::caseName() const {
    switch (kind_) {
        case Case::unknown: return "unknown(" + std::to_string(type_) + ")";
        case Case::membershipQuery: return "membershipQuery";
        case Case::membershipQueryGeneral: return "membershipQueryGeneral";
        case Case::membershipReportV2: return "membershipReportV2";
        case Case::membershipReportV3: return "membershipReportV3";
        case Case::leaveGroup: return "leaveGroup";
        case Case::membershipReportV1: return "membershipReportV1";
    }
    return "unknown";
}

std::string IgmpType::description() const {
    switch (kind_) {
        case Case::unknown: return "Unknown type " + std::to_string(type_);
        case Case::membershipQuery: return "Membership Query";
        case Case::membershipQueryGeneral: return "Membership Query General";
        case Case::membershipReportV2: return "Membership Report V2";
        case Case::membershipReportV3: return "Membership Report V3";
        case Case::leaveGroup: return "Leave Group";
        case Case::membershipReportV1: return "Membership Report V1";
    }
    return "Unknown";
}

std::string shortestDecimal(double value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc()) return std::to_string(value);
    std::string text(buffer, end);
    if (text.find_first_of(".eEn") == std::string::npos) text += ".0";
    return text;
}

std::int64_t Igmp4::decodeCode(std::uint8_t code) {
    if (code < 128) return code;
    return std::int64_t{(code & 0x0f) | 0x10} << (((code >> 4) & 0x07) + 3);
}

bool Igmp4::decodeInto(Igmp4& igmp, ByteSlice bytes) {
    igmp.data = std::move(bytes);
    const ByteSlice& data = igmp.data;
    SliceReader r(data);
    const std::size_t n = r.count();
    if (n < 8) {
        logError([] { return "incomplete IGMPv2 Header detected"; });
        return false;
    }
    const std::size_t s = data.startIndex();
    if (r.u8(0) == 0x22) return decodeReportV3(igmp, r);
    const std::uint8_t maxResponseCode = r.u8(1);
    igmp.maxResponseTime = maxResponseCode / 10.0;
    markField(igmp, Field::maxResponseTime, s + 1, s + 2);
    igmp.checksum = r.u16(2);
    markField(igmp, Field::checksum, s + 2, s + 4);
    auto address = IPv4Address::fromBytes(data.slice(s + 4, s + 8));
    if (!address) {
        logError([] { return "unable to decode address"; });
        return false;
    }
    igmp.address = *address;
    markField(igmp, Field::address, s + 4, s + 8);

    const std::uint8_t type = r.u8(0);
    markField(igmp, Field::type, s, s + 1);
    using Case = IgmpType::Case;
    switch (type) {
        case 0x11:
            igmp.type = igmp.address == IPv4Address() ? Case::membershipQueryGeneral : Case::membershipQuery;
            break;
        case 0x12: igmp.type = Case::membershipReportV1; break;
        case 0x16: igmp.type = Case::membershipReportV2; break;
        case 0x17: igmp.type = Case::leaveGroup; break;
        case 0x22: igmp.type = Case::membershipReportV3; break;
        default: igmp.type = IgmpType::unknown(type); break;
    }

    const Case kind = igmp.type.kind();
    const bool query = kind == Case::membershipQuery || kind == Case::membershipQueryGeneral;
    // A v1 query is 8 bytes with no maximum response time; a v1 report has its own type.
    if (kind == Case::membershipReportV1 || (query && n == 8 && maxResponseCode == 0)) igmp.version = 1;
    if (n >= 12 && query) {
        igmp.version = 3;
        if (maxResponseCode >= 128) igmp.maxResponseTime = static_cast<double>(decodeCode(maxResponseCode)) / 10.0;
        const std::uint8_t flags = r.u8(8);
        igmp.supressFlag = (flags & 0x08) != 0;
        igmp.querierRobustness = static_cast<std::uint8_t>(flags & 0x07);
        markField(igmp, Field::flags, s + 8, s + 9);
        igmp.queryInterval = decodeCode(r.u8(9));
        markField(igmp, Field::queryIntervalCode, s + 9, s + 10);
        const std::size_t count = r.u16(10);
        igmp.numberOfSources = static_cast<std::int64_t>(count);
        markField(igmp, Field::numberOfSources, s + 10, s + 12);
        const std::size_t expected = 12 + 4 * count;
        if (n < expected) {
            logError([&] {
                return "IGMP4 v3 decoder " + std::to_string(n) + " bytes expected " + std::to_string(expected) +
                       " bytes";
            });
            return false;
        }
        igmp.sources.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = s + 12 + 4 * i;
            igmp.sources.push_back(IPv4Address::fromBytes(data.slice(at, at + 4)).value_or(IPv4Address()));
        }
        markField(igmp, Field::sources, s + 12, s + expected);
    }
    return r.ok();
}

bool Igmp4::decodeReportV3(Igmp4& igmp, SliceReader& r) {
    const ByteSlice& data = igmp.data;
    const std::size_t s = data.startIndex();
    const std::size_t n = r.count();
    igmp.type = IgmpType::Case::membershipReportV3;
    igmp.version = 3;
    markField(igmp, Field::type, s, s + 1);
    igmp.checksum = r.u16(2);
    markField(igmp, Field::checksum, s + 2, s + 4);
    const std::size_t count = r.u16(6);
    igmp.numberOfGroupRecords = static_cast<std::int64_t>(count);
    markField(igmp, Field::numberOfGroupRecords, s + 6, s + 8);
    auto refuse = [&](std::size_t record) {
        logError([&] {
            return "IGMPv3 report: group record " + std::to_string(record + 1) + " of " + std::to_string(count) +
                   " runs past the " + std::to_string(n) + " bytes";
        });
        return false;
    };
    std::size_t offset = 8;
    for (std::size_t i = 0; i < count; ++i) {
        if (!r.has(offset, 8)) return refuse(i);
        IgmpGroupRecord record;
        record.recordType = r.u8(offset);
        record.auxDataLength = r.u8(offset + 1);
        const std::size_t sources = r.u16(offset + 2);
        record.numberOfSources = static_cast<std::int64_t>(sources);
        record.address = IPv4Address(r.array<4>(offset + 4));
        const std::size_t length = 8 + 4 * sources + 4 * std::size_t{record.auxDataLength};
        if (!r.has(offset, length)) return refuse(i);
        record.sources.reserve(sources);
        for (std::size_t k = 0; k < sources; ++k) record.sources.emplace_back(r.array<4>(offset + 8 + 4 * k));
        record.startIndex = s + offset;
        record.endIndex = s + offset + length;
        igmp.groupRecords.push_back(std::move(record));
        offset += length;
    }
    if (count > 0) markField(igmp, Field::groupRecords, s + 8, s + offset);
    return r.ok();
}

std::string IgmpGroupRecord::recordTypeName() const {
    static constexpr const char* names[] = {"modeIsInclude",   "modeIsExclude",   "changeToInclude",
                                            "changeToExclude", "allowNewSources", "blockOldSources"};
    if (recordType >= 1 && recordType <= 6) return names[recordType - 1];
    return "recordType(" + std::to_string(recordType) + ")";
}

std::string IgmpGroupRecord::description() const {
    std::string out = recordTypeName() + " " + address.description() + " sources " + std::to_string(numberOfSources);
    for (std::size_t i = 0; i < sources.size(); ++i) out += (i ? " " : ": ") + sources[i].description();
    return out;
}

std::optional<Igmp4> Igmp4::decode(ByteSlice data) { return decodeRecord<Igmp4>(std::move(data)); }

std::string Igmp4::description() const { return "IGMPv" + std::to_string(version) + " " + type.caseName(); }

std::string Igmp4::verboseDescription() const {
    if (numberOfGroupRecords) {
        // A v3 report has no group address or response time of its own, only its records.
        std::string out = "IGMPv" + std::to_string(version) + " " + type.caseName() + " groupRecords " +
                          std::to_string(*numberOfGroupRecords);
        for (const auto& record : groupRecords) out += " [" + record.description() + "]";
        return out + " checksump " + wordHexText(checksum);
    }
    return "IGMPv" + std::to_string(version) + " " + type.caseName() + " group " + address.description() +
           " MaxResponseTime " + shortestDecimal(maxResponseTime) + " seconds checksump " + wordHexText(checksum);
}

}  // namespace ZuzizavAdiduDazorud
