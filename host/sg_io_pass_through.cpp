#include "host/sg_io_pass_through.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "host/host_errors.h"
#include "platform/win_types.h"
#include "winmodel/model_errors.h"

namespace platform::host {

namespace {

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

ScsiOutcome Failed(std::uint32_t error) {
    ScsiOutcome outcome;
    outcome.osError = error;
    return outcome;
}

}  // namespace

SgIoSender SgIoOnDescriptor(int fd) {
    return [fd](sg_io_hdr_t& request) { return ::ioctl(fd, SG_IO, &request) == 0 ? 0 : errno; };
}

ScsiOutcome SgIoTarget::Execute(const ScsiRequest& request) {
    const bool moves = request.length > 0;
    int direction = SG_DXFER_NONE;
    if (moves) direction = request.direction == DataDirection::In ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;

    ScsiOutcome outcome;
    sg_io_hdr_t sg;
    std::memset(&sg, 0, sizeof sg);
    sg.interface_id = 'S';
    sg.dxfer_direction = direction;
    sg.cmd_len = static_cast<unsigned char>(request.cdbLength);
    sg.cmdp = const_cast<unsigned char*>(request.cdb);
    sg.dxfer_len = moves ? request.length : 0;
    sg.dxferp = moves ? request.data : nullptr;
    sg.mx_sb_len = static_cast<unsigned char>(std::min(request.senseRoom, outcome.sense.size()));
    sg.sbp = outcome.sense.data();
    sg.timeout = TimeOutMilliseconds(request.timeOutSeconds);

    if (int error = send_(sg); error != 0) return Failed(ErrorFromErrno(error));
    if (std::uint32_t error = HostError(sg.host_status); error != 0) return Failed(error);
    if (std::uint32_t error = DriverError(sg.driver_status); error != 0) return Failed(error);

    const std::uint32_t residue = sg.resid > 0 ? static_cast<std::uint32_t>(sg.resid) : 0;
    outcome.status = sg.status;
    outcome.senseLength = std::min<std::size_t>(sg.sb_len_wr, sg.mx_sb_len);
    outcome.transferred = moves ? request.length - std::min(residue, request.length) : 0;
    return outcome;
}

}  // namespace platform::host
