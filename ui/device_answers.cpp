#include "ui/device_answers.h"

#include <cstring>

namespace {

std::uint32_t BigEndian32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
           static_cast<std::uint32_t>(bytes[2]) << 8 | static_cast<std::uint32_t>(bytes[3]);
}

}  // namespace

std::string IdentificationText(const std::uint8_t* inquiryData) {
    char identification[kIdentificationLength + 1] = {};
    std::memcpy(identification, inquiryData + kIdentificationOffset, kIdentificationLength);
    return identification;
}

Capacity DecodeCapacity(const std::uint8_t* capacityData) {
    Capacity capacity;
    capacity.totalSectors = BigEndian32(capacityData + kLastLbaOffset) + 1u;
    capacity.blockLength = BigEndian32(capacityData + kBlockLengthOffset);
    return capacity;
}
