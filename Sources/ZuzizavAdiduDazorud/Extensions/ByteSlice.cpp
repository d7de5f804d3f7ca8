#include <ZuzizavAdiduDazorud/Extensions/ByteSlice.h>

#include <bit>
#include <cstring>
#include <new>

namespace ZuzizavAdiduDazorud::detail {

namespace {

// Captured frames come and go one at a time, so each thread keeps a few freed blocks per size class
// (128 to 2048 bytes, which takes a full Ethernet frame) to hand out again before asking the heap.
// Larger blocks always go to the heap. A block freed on another thread than the one that made it
// joins that thread's cache; every cache is bounded.
constexpr std::uint32_t classCount = 5;
constexpr std::uint32_t heapOnly = classCount;
constexpr std::size_t smallestBlock = 128;
constexpr std::size_t cachedPerClass = 32;

std::size_t blockSize(std::uint32_t sizeClass) { return smallestBlock << sizeClass; }

// The smallest class whose blocks hold `bytes`, or heapOnly.
std::uint32_t sizeClassFor(std::size_t bytes) {
    if (bytes <= smallestBlock) return 0;
    const auto c = static_cast<std::uint32_t>(std::bit_width((bytes - 1) / smallestBlock));
    return c < classCount ? c : heapOnly;
}

class BlockCache {
public:
    ~BlockCache() {
        alive = false;
        for (std::uint32_t c = 0; c < classCount; ++c) {
            for (std::size_t i = 0; i < counts_[c]; ++i) ::operator delete(blocks_[c][i]);
        }
    }
    void* take(std::uint32_t c) { return counts_[c] ? blocks_[c][--counts_[c]] : nullptr; }
    bool give(std::uint32_t c, void* block) {
        if (counts_[c] == cachedPerClass) return false;
        blocks_[c][counts_[c]++] = block;
        return true;
    }

    // False once this thread's cache is gone (blocks freed during thread exit go to the heap).
    static thread_local bool alive;

private:
    void* blocks_[classCount][cachedPerClass] = {};
    std::size_t counts_[classCount] = {};
};

thread_local bool BlockCache::alive = true;
thread_local BlockCache cache;

}  // namespace

SharedBytes* SharedBytes::make(std::size_t count) {
    static_assert(alignof(SharedBytes) <= alignof(std::max_align_t));
    const std::size_t bytes = sizeof(SharedBytes) + count;
    const std::uint32_t sizeClass = sizeClassFor(bytes);
    void* memory = nullptr;
    if (sizeClass != heapOnly && BlockCache::alive) memory = cache.take(sizeClass);
    if (!memory) memory = ::operator new(sizeClass == heapOnly ? bytes : blockSize(sizeClass));
    return new (memory) SharedBytes(sizeClass);
}

void SharedBytes::destroy() {
    const std::uint32_t sizeClass = sizeClass_;
    this->~SharedBytes();
    if (sizeClass != heapOnly && BlockCache::alive && cache.give(sizeClass, this)) return;
    ::operator delete(this);
}

}  // namespace ZuzizavAdiduDazorud::detail
