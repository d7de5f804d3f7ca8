#include "Layer3.h"

namespace ZuzizavAdiduDazorud {

std::string Layer3::description() const {
    return std::visit([](const auto& record) { return record.description(); }, value_);
}

std::string Layer3::verboseDescription() const {
    return std::visit([](const auto& record) { return record.verboseDescription(); }, value_);
}

std::string Layer3::hexdump() const {
    return std::visit([](const auto& record) { return record.hexdump(); }, value_);
}

}  // namespace ZuzizavAdiduDazorud
