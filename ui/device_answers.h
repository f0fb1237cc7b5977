// What the dialog takes from the drive's answers: the identification text
// of the INQUIRY data and the capacity of the READ CAPACITY(10) data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Standard INQUIRY data: vendor (8 bytes), product (16) and revision (4)
// from byte 8 on; the identification line shows them side by side together
// with the byte after them, up to the first NUL.
inline constexpr std::size_t kIdentificationOffset = 8;
inline constexpr std::size_t kIdentificationLength = 29;

// READ CAPACITY(10) data: the last logical block address in bytes 0 to 3
// and the block length in bytes 4 to 7, both big-endian.
inline constexpr std::size_t kCapacityDataLength = 8;
inline constexpr std::size_t kLastLbaOffset = 0;
inline constexpr std::size_t kBlockLengthOffset = 4;

// inquiryData holds at least kIdentificationOffset + kIdentificationLength bytes.
std::string IdentificationText(const std::uint8_t* inquiryData);

struct Capacity {
    // The last logical block address plus 1; 0 when the address is all ones.
    std::uint32_t totalSectors = 0;
    std::uint32_t blockLength = 0;
};
Capacity DecodeCapacity(const std::uint8_t* capacityData);
