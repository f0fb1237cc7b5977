// What the dialog takes from the drive's answers: the identification text
// of the INQUIRY data and the capacity of the READ CAPACITY(10) data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/scsi_constants.h"

// Standard INQUIRY data: vendor (8 bytes), product (16) and revision (4)
// from byte 8 on; the identification line shows them side by side together
// with the byte after them, up to the first NUL.
inline constexpr std::size_t kIdentificationLength = 29;

// inquiryData holds at least scsi::kInquiryVendor + kIdentificationLength bytes.
std::string IdentificationText(const std::uint8_t* inquiryData);

struct Capacity {
    // The last logical block address plus 1; 0 when the address is all ones.
    std::uint32_t totalSectors = 0;
    std::uint32_t blockLength = 0;
};
// capacityData holds the scsi::kReadCapacityDataLength bytes of READ CAPACITY(10).
Capacity DecodeCapacity(const std::uint8_t* capacityData);
