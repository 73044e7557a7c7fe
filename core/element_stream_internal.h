// Shared by the element stream writer and reader.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/allocator.h"

namespace element_stream_detail {

// Version strings (three characters and a NUL) compare as strings.
inline bool versionBelow(const char* version, const char* other) {
    return std::strncmp(version, other, 4) < 0;
}

// The older edition code "VQ", stored with a NUL and filled up with a blank.
inline bool isOlderEdition(const char* code) {
    return code[0] == 'V' && code[1] == 'Q' && (code[2] == ' ' || code[2] == 0);
}

inline void putLe(unsigned char* out, std::uint32_t value, int width) {
    if (std::endian::native == std::endian::little && width == 4) {
        std::memcpy(out, &value, 4);  // the common width in one store
        return;
    }
    for (int i = 0; i < width; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline std::uint32_t getLe(const unsigned char* in, int width) {
    std::uint32_t value = 0;
    if (std::endian::native == std::endian::little && width == 4) {
        std::memcpy(&value, in, 4);
        return value;
    }
    for (int i = 0; i < width; ++i) value |= std::uint32_t{in[i]} << (8 * i);
    return value;
}

// An explicit work stack for the walks that would otherwise recurse once per
// nesting level: `Inline` entries live in the object, more come from the
// counting allocator (so a deep walk fails cleanly when memory runs out).
template <class T, std::size_t Inline>
class WorkStack {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    WorkStack() = default;
    WorkStack(const WorkStack&) = delete;
    WorkStack& operator=(const WorkStack&) = delete;
    ~WorkStack() {
        if (data_ != inline_) memFree(data_);
    }

    // False when the stack cannot grow.
    bool push(const T& value) {
        if (size_ == capacity_ && !grow()) return false;
        data_[size_++] = value;
        return true;
    }
    void pop() { --size_; }
    T& top() { return data_[size_ - 1]; }
    T& operator[](std::size_t index) { return data_[index]; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    bool grow() {
        const std::size_t capacity = capacity_ * 2;
        auto* data = static_cast<T*>(memAlloc(capacity * sizeof(T)));
        if (!data) return false;
        std::memcpy(static_cast<void*>(data), data_, size_ * sizeof(T));
        if (data_ != inline_) memFree(data_);
        data_ = data;
        capacity_ = capacity;
        return true;
    }

    T inline_[Inline];
    T* data_ = inline_;
    std::size_t size_ = 0;
    std::size_t capacity_ = Inline;
};

}  // namespace element_stream_detail
