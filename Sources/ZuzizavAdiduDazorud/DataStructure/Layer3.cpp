#include <ZuzizavAdiduDazorud/DataStructure/Layer3.h>

#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

namespace ZuzizavAdiduDazorud {

std::string Layer3::description() const {
    return std::visit([](const auto& record) { return record.description(); }, value_);
}

void Layer3::appendDescription(text::LineWriter& out) const {
    std::visit([&out](const auto& record) { text::writeDescriptionOf(out, record); }, value_);
}

std::string Layer3::verboseDescription() const {
    return std::visit([](const auto& record) { return record.verboseDescription(); }, value_);
}

std::string Layer3::hexdump() const {
    return std::visit([](const auto& record) { return record.hexdump(); }, value_);
}

}  // namespace ZuzizavAdiduDazorud
