// One SCSI command as the port driver hands it to a device, and what came of
// it. A drive's raw volume sends its commands to a ScsiTarget: the emulated
// disk, or a real disk through SG_IO.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Matches SCSI_IOCTL_DATA_OUT / _IN / _UNSPECIFIED.
enum class DataDirection : std::uint8_t { Out = 0, In = 1, None = 2 };

struct ScsiRequest {
    const std::uint8_t* cdb = nullptr;
    unsigned cdbLength = 0;
    DataDirection direction = DataDirection::None;
    void* data = nullptr;
    std::uint32_t length = 0;
    std::uint32_t timeOutSeconds = 0;  // 0: the target's default
    std::size_t senseRoom = 0;         // bytes of sense data the caller takes
};

struct ScsiOutcome {
    // Nonzero: the request failed below SCSI (the control call fails with
    // this operating-system error code); status and sense are meaningless.
    std::uint32_t osError = 0;
    std::uint8_t status = 0;
    std::uint32_t transferred = 0;
    std::array<std::uint8_t, 255> sense{};  // SenseInfoLength is one byte
    std::size_t senseLength = 0;
};

class ScsiTarget {
public:
    virtual ~ScsiTarget() = default;
    virtual ScsiOutcome Execute(const ScsiRequest& request) = 0;
};
