#include "host/sg_io_pass_through.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

#include "device/pass_through_record.h"
#include "host/host_errors.h"
#include "winmodel/emulated_volumes.h"
#include "platform/win_types.h"

namespace platform::host {

namespace {

constexpr std::uint32_t kHeaderSize = sizeof(SCSI_PASS_THROUGH_DIRECT);
constexpr unsigned kMaxCdbLength = sizeof(SCSI_PASS_THROUGH_DIRECT::Cdb);
constexpr std::size_t kMaxSenseLength = 255;  // SenseInfoLength is one byte
// SG_IO takes the time-out in milliseconds; a request without one gets this.
constexpr std::uint32_t kDefaultTimeOutSeconds = 60;
constexpr std::uint32_t kMillisecondsPerSecond = 1000;

// sg_io_hdr.host_status values (the SCSI midlayer's DID_ codes).
constexpr unsigned kHostOk = 0x00;
constexpr unsigned kHostNoConnect = 0x01;
constexpr unsigned kHostTimeOut = 0x03;
constexpr unsigned kHostBadTarget = 0x04;
constexpr unsigned kHostTransportFailFast = 0x0F;

// sg_io_hdr.driver_status: the low nibble is the driver's status; the
// high nibble only carries suggestions.
constexpr unsigned kDriverStatusMask = 0x0F;
constexpr unsigned kDriverOk = 0x00;
constexpr unsigned kDriverTimeOut = 0x06;
constexpr unsigned kDriverSense = 0x08;  // sense data was returned: not a failure

std::uint32_t HostError(unsigned hostStatus) {
    switch (hostStatus) {
    case kHostOk: return 0;
    case kHostNoConnect:
    case kHostBadTarget:
    case kHostTransportFailFast: return kErrorDeviceNotConnected;
    case kHostTimeOut: return ERROR_SEM_TIMEOUT;
    default: return ERROR_IO_DEVICE;
    }
}

std::uint32_t DriverError(unsigned driverStatus) {
    switch (driverStatus & kDriverStatusMask) {
    case kDriverOk:
    case kDriverSense: return 0;
    case kDriverTimeOut: return ERROR_SEM_TIMEOUT;
    default: return ERROR_IO_DEVICE;
    }
}

unsigned TimeOutMilliseconds(std::uint32_t seconds) {
    if (seconds == 0) seconds = kDefaultTimeOutSeconds;
    const std::uint32_t most = std::numeric_limits<unsigned>::max() / kMillisecondsPerSecond;
    return std::min(seconds, most) * kMillisecondsPerSecond;
}

}  // namespace

SgIoSender SgIoOnDescriptor(int fd) {
    return [fd](sg_io_hdr_t& request) { return ::ioctl(fd, SG_IO, &request) == 0 ? 0 : errno; };
}

std::uint32_t RunSgIoPassThrough(const SgIoSender& send, const void* in, std::uint32_t inSize,
                                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
    if (bytesReturned != nullptr) *bytesReturned = 0;
    if (in == nullptr || out == nullptr || inSize < kHeaderSize || outSize < kHeaderSize) {
        return ERROR_INVALID_PARAMETER;
    }
    SCSI_PASS_THROUGH_DIRECT request;
    std::memcpy(&request, in, kHeaderSize);
    if (request.Length != kHeaderSize || request.CdbLength == 0 ||
        request.CdbLength > kMaxCdbLength) {
        return ERROR_INVALID_PARAMETER;
    }
    const bool moves = request.DataTransferLength > 0;
    if (moves && request.DataBuffer == nullptr) return ERROR_INVALID_PARAMETER;
    int direction = SG_DXFER_NONE;
    switch (request.DataIn) {
    case SCSI_IOCTL_DATA_IN: direction = moves ? SG_DXFER_FROM_DEV : SG_DXFER_NONE; break;
    case SCSI_IOCTL_DATA_OUT: direction = moves ? SG_DXFER_TO_DEV : SG_DXFER_NONE; break;
    case SCSI_IOCTL_DATA_UNSPECIFIED:
        // Data of unknown direction would let the device read or overwrite
        // the buffer as it likes.
        if (moves) return ERROR_INVALID_PARAMETER;
        break;
    default: return ERROR_INVALID_PARAMETER;
    }
    // The sense area must lie inside the output block, past the header.
    if (request.SenseInfoLength > 0 &&
        (request.SenseInfoOffset < kHeaderSize ||
         std::uint64_t{request.SenseInfoOffset} + request.SenseInfoLength > outSize)) {
        return ERROR_INVALID_PARAMETER;
    }

    std::array<std::uint8_t, kMaxSenseLength> sense{};
    sg_io_hdr_t sg;
    std::memset(&sg, 0, sizeof sg);
    sg.interface_id = 'S';
    sg.dxfer_direction = direction;
    sg.cmd_len = request.CdbLength;
    sg.cmdp = request.Cdb;
    sg.dxfer_len = moves ? request.DataTransferLength : 0;
    sg.dxferp = moves ? request.DataBuffer : nullptr;
    sg.mx_sb_len = static_cast<unsigned char>(std::min<std::size_t>(request.SenseInfoLength, sense.size()));
    sg.sbp = sense.data();
    sg.timeout = TimeOutMilliseconds(request.TimeOutValue);

    if (int error = send(sg); error != 0) return ErrorFromErrno(error);
    if (std::uint32_t error = HostError(sg.host_status); error != 0) return error;
    if (std::uint32_t error = DriverError(sg.driver_status); error != 0) return error;

    auto* block = static_cast<std::uint8_t*>(out);
    const std::size_t senseBytes =
        std::min<std::size_t>({sg.sb_len_wr, sg.mx_sb_len, request.SenseInfoLength});
    if (senseBytes > 0) std::memcpy(block + request.SenseInfoOffset, sense.data(), senseBytes);
    const std::uint32_t residue = sg.resid > 0 ? static_cast<std::uint32_t>(sg.resid) : 0;
    request.ScsiStatus = sg.status;
    request.SenseInfoLength = static_cast<std::uint8_t>(senseBytes);
    request.DataTransferLength = moves ? request.DataTransferLength - std::min(residue, request.DataTransferLength) : 0;
    std::memcpy(block, &request, kHeaderSize);
    if (bytesReturned != nullptr) {
        *bytesReturned = senseBytes > 0
                             ? request.SenseInfoOffset + static_cast<std::uint32_t>(senseBytes)
                             : kHeaderSize;
    }
    return 0;
}

}  // namespace platform::host
