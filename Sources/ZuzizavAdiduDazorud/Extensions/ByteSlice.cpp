#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>

#include <new>

namespace ZuzizavAdiduDazorud::detail {

SharedBytes* SharedBytes::make(std::size_t count) {
    static_assert(alignof(SharedBytes) <= alignof(std::max_align_t));
    return new (::operator new(sizeof(SharedBytes) + count)) SharedBytes(count);
}

void SharedBytes::destroy() {
    this->~SharedBytes();
    ::operator delete(this);
}

}  // namespace ZuzizavAdiduDazorud::detail
