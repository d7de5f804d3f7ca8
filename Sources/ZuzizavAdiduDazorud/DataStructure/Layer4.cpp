#include "Layer4.h"

#include "../Extensions/Overloaded.h"

namespace ZuzizavAdiduDazorud {

std::string Layer4::description() const {
    return std::visit(Overloaded{[](const NoLayer4&) { return std::string(); },
                                 [](const auto& record) { return record.description(); }},
                      value_);
}

std::string Layer4::verboseDescription() const {
    return std::visit(Overloaded{[](const NoLayer4&) { return std::string(); },
                                 [](const auto& record) { return record.verboseDescription(); }},
                      value_);
}

std::string Layer4::hexdump() const {
    return std::visit(Overloaded{[](const NoLayer4&) { return std::string(); },
                                 [](const auto& record) { return record.hexdump(); }},
                      value_);
}

}  // namespace ZuzizavAdiduDazorud
