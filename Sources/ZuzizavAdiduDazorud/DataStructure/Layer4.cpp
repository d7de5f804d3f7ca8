#include <ZuzizavAdiduDazorud/DataStructure/Layer4.h>

#include <ZuzizavAdiduDazorud/Extensions/Overloaded.h>
#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

namespace ZuzizavAdiduDazorud {

std::string Layer4::description() const { return text::describe(*this); }

void Layer4::appendDescription(text::LineWriter& out) const {
    std::visit(Overloaded{[](const NoLayer4&) {}, [&out](const auto& record) { record.appendDescription(out); }},
               value_);
}

std::string Layer4::verboseDescription() const { return text::describeVerbosely(*this); }

void Layer4::appendVerboseDescription(text::LineWriter& out) const {
    std::visit(Overloaded{[](const NoLayer4&) {}, [&out](const auto& record) { record.appendVerboseDescription(out); }},
               value_);
}

std::string Layer4::hexdump() const {
    return std::visit(Overloaded{[](const NoLayer4&) { return std::string(); },
                                 [](const auto& record) { return record.hexdump(); }},
                      value_);
}

namespace {

// On failure the record hands the bytes back for the unknown record.
template <typename T>
bool decodeAs(Layer4& out, ByteSlice& payload) {
    T& record = out.emplace<T>();
    if (T::decodeInto(record, std::move(payload))) return true;
    payload = std::move(record.data);
    return false;
}

}  // namespace

void decodeLayer4(Layer4& out, IpFamily family, std::uint8_t protocol, ByteSlice payload) {
    const bool v4 = family == IpFamily::v4;
    bool decoded = false;
    switch (protocol) {
        case 1: decoded = v4 && decodeAs<Icmp4>(out, payload); break;
        case 2: decoded = v4 && decodeAs<Igmp4>(out, payload); break;
        case 6: decoded = decodeAs<Tcp>(out, payload); break;
        case 17: decoded = decodeAs<Udp>(out, payload); break;
        case 58: decoded = !v4 && decodeAs<Icmp6>(out, payload); break;
        default: break;
    }
    if (!decoded) out.emplace<Unknown>().data = std::move(payload);
}

Layer4 decodeLayer4(IpFamily family, std::uint8_t protocol, const ByteSlice& payload) {
    Layer4 out;
    decodeLayer4(out, family, protocol, payload);
    return out;
}

}  // namespace ZuzizavAdiduDazorud
