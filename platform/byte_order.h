// Loads and stores of 16- and 32-bit fields in a given byte order: little-
// endian for the on-disk structures, big-endian for the SCSI wire. A store
// into a narrower field takes the low-order bytes of the value.
#pragma once

#include <cstdint>

namespace platform {

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

inline void StoreBe16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

inline void StoreBe32(std::uint8_t* at, std::uint32_t value) {
    StoreBe16(at, value >> 16);
    StoreBe16(at + 2, value);
}

inline std::uint32_t LoadBe16(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) << 8 | static_cast<std::uint32_t>(at[1]);
}

inline std::uint32_t LoadBe32(const std::uint8_t* at) {
    return LoadBe16(at) << 16 | LoadBe16(at + 2);
}

}  // namespace platform
