#include "winmodel/pass_through_target.h"

#include <algorithm>
#include <cstring>

#include "device/pass_through_record.h"
#include "winmodel/emulated_scsi_disk.h"
#include "platform/win_types.h"

namespace {
constexpr std::uint32_t kHeaderSize = sizeof(platform::SCSI_PASS_THROUGH_DIRECT);
constexpr unsigned kMaxCdbLength = 16;
}  // namespace

std::uint32_t RunPassThrough(EmulatedScsiDisk& disk, const void* in, std::uint32_t inSize,
                             void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
    if (bytesReturned != nullptr) *bytesReturned = 0;
    if (in == nullptr || out == nullptr || inSize < kHeaderSize || outSize < kHeaderSize) {
        return ERROR_INVALID_PARAMETER;
    }
    platform::SCSI_PASS_THROUGH_DIRECT request;
    std::memcpy(&request, in, kHeaderSize);
    if (request.Length != kHeaderSize || request.CdbLength == 0 ||
        request.CdbLength > kMaxCdbLength || request.DataIn > SCSI_IOCTL_DATA_UNSPECIFIED) {
        return ERROR_INVALID_PARAMETER;
    }
    if (request.DataTransferLength > 0 && request.DataBuffer == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    // The sense area must lie inside the output block, past the header.
    if (request.SenseInfoLength > 0 &&
        (request.SenseInfoOffset < kHeaderSize ||
         std::uint64_t{request.SenseInfoOffset} + request.SenseInfoLength > outSize)) {
        return ERROR_INVALID_PARAMETER;
    }

    ScsiRequest command;
    command.cdb = request.Cdb;
    command.cdbLength = request.CdbLength;
    command.direction = static_cast<DataDirection>(request.DataIn);
    command.data = request.DataBuffer;
    command.length = request.DataTransferLength;
    ScsiOutcome outcome = disk.Execute(command);
    if (outcome.osError != 0) return outcome.osError;

    auto* block = static_cast<std::uint8_t*>(out);
    std::size_t senseBytes = std::min<std::size_t>(outcome.senseLength, request.SenseInfoLength);
    if (senseBytes > 0) std::memcpy(block + request.SenseInfoOffset, outcome.sense.data(), senseBytes);
    request.ScsiStatus = outcome.status;
    request.SenseInfoLength = static_cast<std::uint8_t>(senseBytes);
    request.DataTransferLength = outcome.transferred;
    std::memcpy(block, &request, kHeaderSize);
    if (bytesReturned != nullptr) {
        *bytesReturned = senseBytes > 0 ? request.SenseInfoOffset + static_cast<std::uint32_t>(senseBytes)
                                        : kHeaderSize;
    }
    return 0;
}
