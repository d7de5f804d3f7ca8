#include <ZuzizavAdiduDazorud/DataStructure/Layer3.h>

#include <ZuzizavAdiduDazorud/Extensions/TextAppend.h>

namespace ZuzizavAdiduDazorud {

std::string Layer3::description() const { return text::describe(*this); }

void Layer3::appendDescription(text::LineWriter& out) const {
    std::visit([&out](const auto& record) { record.appendDescription(out); }, value_);
}

std::string Layer3::verboseDescription() const { return text::describeVerbosely(*this); }

void Layer3::appendVerboseDescription(text::LineWriter& out) const {
    std::visit([&out](const auto& record) { record.appendVerboseDescription(out); }, value_);
}

std::string Layer3::hexdump() const {
    return std::visit([](const auto& record) { return record.hexdump(); }, value_);
}

}  // namespace ZuzizavAdiduDazorud
