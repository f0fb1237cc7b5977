// The request and response block of one SCSI pass-through command: the
// Windows SCSI_PASS_THROUGH_DIRECT structure of the target, a filler and a
// 32-byte sense area. The operating system takes it as both the input and
// the output buffer of IOCTL_SCSI_PASS_THROUGH_DIRECT, so its layout is fixed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

struct SCSI_PASS_THROUGH_DIRECT {
    std::uint16_t Length;           // size of this structure
    std::uint8_t ScsiStatus;        // device's status byte on return
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
    std::uint8_t CdbLength;
    std::uint8_t SenseInfoLength;   // bytes of sense data the driver may write
    std::uint8_t DataIn;            // SCSI_IOCTL_DATA_IN / _OUT / _UNSPECIFIED
    std::uint32_t DataTransferLength;
    std::uint32_t TimeOutValue;     // seconds
    void* DataBuffer;
    std::uint32_t SenseInfoOffset;  // from the start of the record
    std::uint8_t Cdb[16];
};

}  // namespace platform

struct PassThroughRecord {
    platform::SCSI_PASS_THROUGH_DIRECT sptd;
    std::uint32_t filler;
    std::uint8_t sense[32];
};

inline constexpr std::uint16_t kPassThroughStructSize = sizeof(platform::SCSI_PASS_THROUGH_DIRECT);
inline constexpr std::uint32_t kSenseInfoOffset = offsetof(PassThroughRecord, sense);
inline constexpr std::uint8_t kSenseInfoLength = 24;

#if defined(_WIN32) && !defined(_WIN64)
// The 32-bit layout the program was designed around.
static_assert(sizeof(platform::SCSI_PASS_THROUGH_DIRECT) == 44);
static_assert(offsetof(platform::SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 20);
static_assert(offsetof(platform::SCSI_PASS_THROUGH_DIRECT, Cdb) == 28);
static_assert(kSenseInfoOffset == 48);
static_assert(sizeof(PassThroughRecord) == 80);
#else
// 64-bit layout: the buffer pointer is 8-byte aligned, and so is the
// record, which ends in 4 bytes of padding.
static_assert(sizeof(platform::SCSI_PASS_THROUGH_DIRECT) == 56);
static_assert(offsetof(platform::SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 24);
static_assert(offsetof(platform::SCSI_PASS_THROUGH_DIRECT, Cdb) == 36);
static_assert(kSenseInfoOffset == 60);
static_assert(sizeof(PassThroughRecord) == 96);
#endif
