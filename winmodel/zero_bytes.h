// Whether a run of bytes is all zeros: the block stores leave such writes
// out where the medium already reads as zeros, to keep it sparse.
#pragma once

#include <cstddef>
#include <cstring>

inline bool IsAllZero(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    // Each byte equals the one before it, and the first is zero.
    return size == 0 || (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, size - 1) == 0);
}
