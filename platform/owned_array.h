// OwnedArray: the one owner of platform memory inside the core. A block of
// `size()` zeroed T from platform::AllocateZeroed, freed on destruction, on
// Reset and on every reallocation, so that error paths never free by hand.
// The allocation-failure injection of platform/memory.h reaches every block,
// and every count is checked for overflow before it is turned into bytes.
// T must be trivially copyable: blocks are moved by bytes and never have
// their elements constructed or destroyed (zero bytes are their start).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/memory.h"
#include "platform/status.h"

namespace qavren {

template <typename T>
class OwnedArray {
    static_assert(std::is_trivially_copyable<T>::value, "OwnedArray holds plain data");

public:
    OwnedArray() = default;
    OwnedArray(OwnedArray&& other) noexcept : data_(other.data_), size_(other.size_) {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    OwnedArray& operator=(OwnedArray&& other) noexcept {
        if (this != &other) {
            Reset();
            data_ = other.data_;
            size_ = other.size_;
            other.data_ = nullptr;
            other.size_ = 0;
        }
        return *this;
    }
    OwnedArray(const OwnedArray&) = delete;
    OwnedArray& operator=(const OwnedArray&) = delete;
    ~OwnedArray() { platform::Free(data_); }

    // The bytes `count` elements take, or false when they do not fit a size_t.
    static bool BytesFor(uint64_t count, size_t* bytes) {
        if (count > SIZE_MAX / sizeof(T)) return false;
        *bytes = static_cast<size_t>(count) * sizeof(T);
        return true;
    }

    // `count` zeroed elements in place of any earlier block: 0, or
    // status::kNoMemory when the size overflows or memory cannot be had (the
    // array is then empty).
    // A count of zero gives a valid, empty block.
    Status Allocate(uint64_t count) {
        Reset();
        size_t bytes = 0;
        if (!BytesFor(count, &bytes)) return status::kNoMemory;
        data_ = static_cast<T*>(platform::AllocateZeroed(bytes));
        if (!data_) return status::kNoMemory;
        size_ = static_cast<size_t>(count);
        return status::kOk;
    }

    // `count` elements keeping the first min(count, size()) of the old ones,
    // the rest zeroed: 0, or status::kNoMemory with the array as it was.
    Status Resize(uint64_t count) {
        size_t bytes = 0;
        if (!BytesFor(count, &bytes)) return status::kNoMemory;
        T* block = static_cast<T*>(platform::AllocateZeroed(bytes));
        if (!block) return status::kNoMemory;
        const size_t kept = static_cast<size_t>(count) < size_ ? static_cast<size_t>(count) : size_;
        if (kept) std::memcpy(static_cast<void*>(block), static_cast<const void*>(data_), kept * sizeof(T));
        platform::Free(data_);
        data_ = block;
        size_ = static_cast<size_t>(count);
        return status::kOk;
    }

    // Takes `count` elements in a block from platform::AllocateZeroed (or
    // another allocation platform::Free frees), in place of any earlier one.
    void Adopt(T* block, size_t count) {
        Reset();
        data_ = block;
        size_ = block ? count : 0;
    }

    // Frees the block; the array is empty.
    void Reset() {
        platform::Free(data_);
        data_ = nullptr;
        size_ = 0;
    }

    // Hands the block to the caller, who frees it with platform::Free.
    T* Release() {
        T* block = data_;
        data_ = nullptr;
        size_ = 0;
        return block;
    }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](size_t k) { return data_[k]; }
    const T& operator[](size_t k) const { return data_[k]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

private:
    T* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace qavren
