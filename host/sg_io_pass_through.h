// IOCTL_SCSI_PASS_THROUGH_DIRECT on Linux: the request block
// (SCSI_PASS_THROUGH_DIRECT, device/pass_through_record.h) becomes an SG_IO
// request (direction, CDB, data buffer, time-out, sense buffer), and the
// outcome is written back as Windows does: the device's status byte in
// ScsiStatus, sense data at SenseInfoOffset, the bytes moved in
// DataTransferLength. Failures of the transport (no device, time-out, host
// or driver errors) fail the call with a Windows error code instead.
#pragma once

#include <scsi/sg.h>

#include <cstdint>
#include <functional>

namespace platform::host {

// Sends one SG_IO request; returns 0 or the errno of the failed call.
using SgIoSender = std::function<int(sg_io_hdr_t& request)>;

// The sender for an open block or sg device node.
SgIoSender SgIoOnDescriptor(int fd);

// Returns 0, or the error code the control call fails with.
std::uint32_t RunSgIoPassThrough(const SgIoSender& send, const void* in, std::uint32_t inSize,
                                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned);

}  // namespace platform::host
