#pragma once

#include <algorithm>
#include <atomic>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ZuzizavAdiduDazorud {

namespace detail {

// A reference count and the bytes after it, in one allocation.
class SharedBytes {
public:
    // With one reference, the caller's; room for `count` bytes, left for the caller to fill.
    static SharedBytes* make(std::size_t count);

    std::uint8_t* bytes() { return reinterpret_cast<std::uint8_t*>(this + 1); }
    std::size_t capacity() const { return capacity_; }
    // Whether the caller holds the only reference, so that it may write the bytes.
    bool unique() const { return references_.load(std::memory_order_acquire) == 1; }
    void retain() { references_.fetch_add(1, std::memory_order_relaxed); }
    void release() {
        if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) destroy();
    }

private:
    explicit SharedBytes(std::size_t capacity) : capacity_(static_cast<std::uint32_t>(capacity)) {}
    void destroy();

    std::atomic<std::uint32_t> references_{1};
    std::uint32_t capacity_;
};

}  // namespace detail

// An immutable run of bytes with absolute start and end indices, either shared (the bytes live in a
// reference-counted buffer of the slices' own) or borrowed (the bytes belong to the caller, who keeps
// them alive as long as the slice and every slice of it is used; no count is kept).
// A slice keeps its parent's indices: the bytes from 14 of a frame start at index 14.
// Slicing only ever narrows; indices outside the slice are clamped to it.
class ByteSlice {
public:
    ByteSlice() = default;
    ByteSlice(const ByteSlice& other)
        : storage_(other.storage_), base_(other.base_), start_(other.start_), end_(other.end_) {
        if (storage_) storage_->retain();
    }
    ByteSlice(ByteSlice&& other) noexcept
        : storage_(other.storage_), base_(other.base_), start_(other.start_), end_(other.end_) {
        other.storage_ = nullptr;
        other.base_ = nullptr;
        other.start_ = other.end_ = 0;
    }
    ByteSlice& operator=(const ByteSlice& other) {
        if (other.storage_) other.storage_->retain();
        if (storage_) storage_->release();
        storage_ = other.storage_;
        base_ = other.base_;
        start_ = other.start_;
        end_ = other.end_;
        return *this;
    }
    ByteSlice& operator=(ByteSlice&& other) noexcept {
        if (this != &other) {
            if (storage_) storage_->release();
            storage_ = other.storage_;
            base_ = other.base_;
            start_ = other.start_;
            end_ = other.end_;
            other.storage_ = nullptr;
            other.base_ = nullptr;
            other.start_ = other.end_ = 0;
        }
        return *this;
    }
    ~ByteSlice() {
        if (storage_) storage_->release();
    }

    explicit ByteSlice(std::vector<std::uint8_t> bytes);
    // A shared copy of the bytes.
    ByteSlice(const std::uint8_t* bytes, std::size_t count);
    // The caller's bytes, not copied: valid as long as they are.
    static ByteSlice borrowing(const std::uint8_t* bytes, std::size_t count) {
        ByteSlice s;
        s.assignBorrowed(bytes, count);
        return s;
    }
    // Becomes borrowing(bytes, count), in place.
    void assignBorrowed(const std::uint8_t* bytes, std::size_t count) {
        if (storage_) storage_->release();
        storage_ = nullptr;
        base_ = count ? bytes : nullptr;
        start_ = 0;
        end_ = count;
    }
    // Becomes a copy of `count` bytes from index 0, in the buffer it holds when it is the only holder and
    // there is room: a reader of many frames copies each into the same buffer, without allocating.
    void assign(const std::uint8_t* bytes, std::size_t count);
    ByteSlice(std::initializer_list<std::uint8_t> bytes) : ByteSlice(std::vector<std::uint8_t>(bytes)) {}

    std::size_t startIndex() const { return start_; }
    std::size_t endIndex() const { return end_; }
    std::size_t count() const { return end_ - start_; }
    bool empty() const { return end_ == start_; }
    // Whether the bytes are borrowed from the caller rather than shared.
    bool borrowed() const { return base_ && !storage_; }

    // The bytes at absolute indices [from, to), clamped to this slice. (assignSlice on a new slice does the
    // same, but costs the frame decoder about ten instructions a frame more.)
    ByteSlice slice(std::size_t from, std::size_t to) const {
        std::size_t f = std::clamp(from, start_, end_);
        std::size_t t = std::clamp(to, f, end_);
        ByteSlice s;
        if (t > f) {  // an empty slice needs no bytes
            s.storage_ = storage_;
            if (storage_) storage_->retain();
            s.base_ = base_;
        }
        s.start_ = f;
        s.end_ = t;
        return s;
    }
    // The bytes from absolute index `from` to the end.
    ByteSlice sliceFrom(std::size_t from) const { return slice(from, end_); }
    // Becomes parent.slice(from, to), in place: no slice is built, moved or destroyed on the way. `parent`
    // may be this slice.
    void assignSlice(const ByteSlice& parent, std::size_t from, std::size_t to) {
        const std::size_t f = std::clamp(from, parent.start_, parent.end_);
        const std::size_t t = std::clamp(to, f, parent.end_);
        // An empty slice needs no bytes.
        detail::SharedBytes* storage = t > f ? parent.storage_ : nullptr;
        const std::uint8_t* base = t > f ? parent.base_ : nullptr;
        if (storage) storage->retain();
        if (storage_) storage_->release();
        storage_ = storage;
        base_ = base;
        start_ = f;
        end_ = t;
    }

    // Byte at absolute index, or none outside the slice.
    std::optional<std::uint8_t> at(std::size_t absoluteIndex) const {
        if (absoluteIndex < start_ || absoluteIndex >= end_) return std::nullopt;
        return base_[absoluteIndex];
    }

    std::span<const std::uint8_t> bytes() const {
        if (!base_) return {};
        return std::span<const std::uint8_t>(base_ + start_, count());
    }
    std::vector<std::uint8_t> toVector() const {
        auto b = bytes();
        return {b.begin(), b.end()};
    }

    // Big-endian reads from the start of the slice; none when the bytes are not there.
    std::optional<std::uint16_t> readUInt16() const;
    std::optional<std::uint32_t> readUInt32() const;
    std::optional<std::uint64_t> readUInt64() const;

    // Every byte as two lowercase hex digits.
    std::string hexString() const;
    // Bytes 0-5 as aa:bb:cc:dd:ee:ff; none with fewer than 6 bytes.
    std::optional<std::string> macAddressText() const;
    // Bytes 0-2 as aa:bb:cc; none with fewer than 3 bytes.
    std::optional<std::string> ouiText() const;
    // The hex dump, offsets counted from the slice's first byte.
    std::string hexdump() const;
    // "<count> bytes".
    std::string description() const { return std::to_string(count()) + " bytes"; }

    // Equal when the bytes are equal, wherever they lie.
    friend bool operator==(const ByteSlice& lhs, const ByteSlice& rhs) {
        auto a = lhs.bytes();
        auto b = rhs.bytes();
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    // One reference to the whole shared buffer; none for borrowed bytes or a slice without bytes.
    detail::SharedBytes* storage_ = nullptr;
    // Index 0's byte: the shared buffer's first, or the borrowed bytes' first; none without bytes.
    const std::uint8_t* base_ = nullptr;
    std::size_t start_ = 0;
    std::size_t end_ = 0;
};

// Bounds-checked reads at offsets relative to a slice's start. A read outside
// the slice yields 0 and marks the reader failed; decoders refuse when !ok().
class SliceReader {
public:
    explicit SliceReader(const ByteSlice& slice) : bytes_(slice.bytes()), start_(slice.startIndex()) {}

    std::size_t count() const { return bytes_.size(); }
    bool has(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    bool ok() const { return ok_; }

    std::uint8_t u8(std::size_t offset) {
        if (!has(offset, 1)) return fail();
        return bytes_[offset];
    }
    std::uint16_t u16(std::size_t offset) {
        if (!has(offset, 2)) return fail();
        return static_cast<std::uint16_t>((bytes_[offset] << 8) | bytes_[offset + 1]);
    }
    std::uint32_t u24(std::size_t offset) {
        if (!has(offset, 3)) return fail();
        return (std::uint32_t{bytes_[offset]} << 16) | (std::uint32_t{bytes_[offset + 1]} << 8) | bytes_[offset + 2];
    }
    std::uint32_t u32(std::size_t offset) {
        if (!has(offset, 4)) return fail();
        return (std::uint32_t{bytes_[offset]} << 24) | (std::uint32_t{bytes_[offset + 1]} << 16) |
               (std::uint32_t{bytes_[offset + 2]} << 8) | bytes_[offset + 3];
    }
    std::uint64_t u64(std::size_t offset) {
        if (!has(offset, 8)) return fail();
        return (std::uint64_t{u32(offset)} << 32) | u32(offset + 4);
    }
    template <std::size_t N>
    std::array<std::uint8_t, N> array(std::size_t offset) {
        std::array<std::uint8_t, N> out{};
        if (!has(offset, N)) {
            fail();
            return out;
        }
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), N, out.begin());
        return out;
    }
    // Absolute position of a relative offset.
    std::size_t position(std::size_t offset) const { return start_ + offset; }
    // A reader of the `length` bytes from `offset` (fewer when these end sooner): an item's own bounds,
    // without a slice of it.
    SliceReader part(std::size_t offset, std::size_t length) const {
        const std::size_t from = std::min(offset, bytes_.size());
        return SliceReader(bytes_.subspan(from, std::min(length, bytes_.size() - from)), start_ + from);
    }

private:
    SliceReader(std::span<const std::uint8_t> bytes, std::size_t start) : bytes_(bytes), start_(start) {}
    std::uint8_t fail() {
        ok_ = false;
        return 0;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t start_;
    bool ok_ = true;
};

}  // namespace ZuzizavAdiduDazorud
