// Little-endian stores and loads of the 16- and 32-bit fields on disk. A
// narrower field takes the low-order bytes of the value.
#pragma once

#include <cstdint>

namespace fatdisk {

inline void StoreLe16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void StoreLe32(std::uint8_t* at, std::uint32_t value) {
    StoreLe16(at, value);
    StoreLe16(at + 2, value >> 16);
}

inline std::uint32_t LoadLe16(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8;
}

inline std::uint32_t LoadLe32(const std::uint8_t* at) {
    return LoadLe16(at) | LoadLe16(at + 2) << 16;
}

}  // namespace fatdisk
