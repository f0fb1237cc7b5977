// The program's only path to the raw device: opens a drive letter as a raw
// volume, locks and unlocks it, and sends single SCSI commands through the
// SCSI pass-through interface.
//
// Status convention: the command, lock and unlock operations return true on
// failure; the send operations return 0 for success, a positive OS error
// code, -1..-255 for a SCSI status other than GOOD (negated), or -256 when
// the volume cannot be opened.
#pragma once

#include <cstdint>

#include "device/pass_through_record.h"
#include "platform/win_types.h"

// Largest transfer of one READ(10)/WRITE(10): 128 sectors (64 KiB).
inline constexpr unsigned kMaxBlocksPerCommand = 128;
inline constexpr int kOpenFailedStatus = -256;

int FillPassThrough(PassThroughRecord* record, unsigned cdbLength, const std::uint8_t* cdb,
                    std::uint8_t direction, std::uint32_t transferLength, std::uint32_t timeOut);
platform::Handle OpenRawVolume(char driveLetter);

class CScsiChannel {
public:
    int OpenVolume(char driveLetter);
    bool CloseVolume();
    bool LockVolume(char driveLetter);
    bool UnlockVolume(char driveLetter);
    // Dismounts the file system on the held volume, so that the next access
    // mounts it afresh from what is on the disk then; other handles on the
    // volume become invalid.
    bool DismountVolume(char driveLetter);

    int SendCommand(char driveLetter, const std::uint8_t* cdb, bool dataIn, void* buffer,
                    std::uint32_t length);
    int SendCommandOwnHandle(char driveLetter, const std::uint8_t* cdb, bool dataIn, void* buffer,
                             std::uint32_t length);

    bool ReadCapacity(char driveLetter, std::uint8_t* response);
    bool Inquiry(char driveLetter, std::uint8_t* response);
    bool ReadBlocks(char driveLetter, std::uint32_t lba, unsigned count, void* buffer);
    bool WriteBlocks(char driveLetter, std::uint32_t lba, unsigned count, const void* buffer);

    PassThroughRecord m_record{};
    platform::Handle m_hVolume = nullptr;
};
