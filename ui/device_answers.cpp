#include "ui/device_answers.h"

#include <cstring>

#include "platform/byte_order.h"

std::string IdentificationText(const std::uint8_t* inquiryData) {
    char identification[kIdentificationLength + 1] = {};
    std::memcpy(identification, inquiryData + scsi::kInquiryVendor, kIdentificationLength);
    return identification;
}

Capacity DecodeCapacity(const std::uint8_t* capacityData) {
    Capacity capacity;
    capacity.totalSectors = platform::LoadBe32(capacityData + scsi::kReadCapacityLastLba) + 1u;
    capacity.blockLength = platform::LoadBe32(capacityData + scsi::kReadCapacityBlockLength);
    return capacity;
}
