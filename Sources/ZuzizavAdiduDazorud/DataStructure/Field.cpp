#include <ZuzizavAdiduDazorud/DataStructure/Field.h>

namespace ZuzizavAdiduDazorud {

std::string_view toString(Field field) {
    const auto i = static_cast<std::size_t>(field);
    return i < fieldCount ? fieldNames[i] : "unknown";
}

}  // namespace ZuzizavAdiduDazorud
