#include "winmodel/pass_through_target.h"

#include <algorithm>
#include <cstring>

#include "device/pass_through_record.h"

namespace {
constexpr std::uint32_t kHeaderSize = sizeof(platform::SCSI_PASS_THROUGH_DIRECT);
constexpr unsigned kMaxCdbLength = sizeof(platform::SCSI_PASS_THROUGH_DIRECT::Cdb);
}  // namespace

ScsiRequest PassThroughCall::Request() const {
    ScsiRequest request;
    request.cdb = header.Cdb;
    request.cdbLength = header.CdbLength;
    request.direction = static_cast<DataDirection>(header.DataIn);
    request.data = header.DataBuffer;
    request.length = header.DataTransferLength;
    request.timeOutSeconds = header.TimeOutValue;
    request.senseRoom = header.SenseInfoLength;
    return request;
}

std::uint32_t ReadPassThroughCall(const void* in, std::uint32_t inSize, std::uint32_t outSize,
                                  PassThroughCall* call) {
    if (in == nullptr || inSize < kHeaderSize || outSize < kHeaderSize) return ERROR_INVALID_PARAMETER;
    platform::SCSI_PASS_THROUGH_DIRECT& header = call->header;
    std::memcpy(&header, in, kHeaderSize);
    if (header.Length != kHeaderSize || header.CdbLength == 0 || header.CdbLength > kMaxCdbLength ||
        header.DataIn > SCSI_IOCTL_DATA_UNSPECIFIED) {
        return ERROR_INVALID_PARAMETER;
    }
    if (header.DataTransferLength > 0 && header.DataBuffer == nullptr) return ERROR_INVALID_PARAMETER;
    // "Unspecified" means no data moves; a transfer length with it would let
    // the device read or overwrite the buffer as it likes.
    if (header.DataIn == SCSI_IOCTL_DATA_UNSPECIFIED && header.DataTransferLength > 0) {
        return ERROR_INVALID_PARAMETER;
    }
    // The sense area must lie inside the output block, past the header.
    if (header.SenseInfoLength > 0 &&
        (header.SenseInfoOffset < kHeaderSize ||
         std::uint64_t{header.SenseInfoOffset} + header.SenseInfoLength > outSize)) {
        return ERROR_INVALID_PARAMETER;
    }
    return 0;
}

std::uint32_t WritePassThroughOutcome(const PassThroughCall& call, const ScsiOutcome& outcome, void* out,
                                      std::uint32_t* bytesReturned) {
    if (outcome.osError != 0) return outcome.osError;
    platform::SCSI_PASS_THROUGH_DIRECT header = call.header;
    auto* block = static_cast<std::uint8_t*>(out);
    const std::size_t senseBytes =
        std::min<std::size_t>({outcome.senseLength, outcome.sense.size(), header.SenseInfoLength});
    if (senseBytes > 0) std::memcpy(block + header.SenseInfoOffset, outcome.sense.data(), senseBytes);
    header.ScsiStatus = outcome.status;
    header.SenseInfoLength = static_cast<std::uint8_t>(senseBytes);
    header.DataTransferLength = std::min(outcome.transferred, header.DataTransferLength);
    std::memcpy(block, &header, kHeaderSize);
    if (bytesReturned != nullptr) {
        *bytesReturned = senseBytes > 0 ? header.SenseInfoOffset + static_cast<std::uint32_t>(senseBytes)
                                        : kHeaderSize;
    }
    return 0;
}

std::uint32_t RunPassThrough(ScsiTarget& target, const void* in, std::uint32_t inSize, void* out,
                             std::uint32_t outSize, std::uint32_t* bytesReturned) {
    if (bytesReturned != nullptr) *bytesReturned = 0;
    PassThroughCall call;
    if (out == nullptr) return ERROR_INVALID_PARAMETER;
    if (std::uint32_t error = ReadPassThroughCall(in, inSize, outSize, &call); error != 0) return error;
    return WritePassThroughOutcome(call, target.Execute(call.Request()), out, bytesReturned);
}
