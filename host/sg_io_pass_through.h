// SCSI commands on Linux by SG_IO: the command the Windows model checked
// (winmodel/pass_through_target.h) becomes an sg_io_hdr (direction, CDB,
// data buffer, time-out, sense buffer), and its outcome comes back as the
// port driver reports it: the device's status byte, the sense data, the
// bytes moved. Failures of the transport (no device, time-out, host or
// driver errors) fail the call with a Windows error code instead.
#pragma once

#include <scsi/sg.h>

#include <cstdint>
#include <functional>

#include "winmodel/scsi_target.h"

namespace platform::host {

// Sends one SG_IO request; returns 0 or the errno of the failed call.
using SgIoSender = std::function<int(sg_io_hdr_t& request)>;

// The sender for an open block or sg device node.
SgIoSender SgIoOnDescriptor(int fd);

class SgIoTarget : public ScsiTarget {
public:
    explicit SgIoTarget(SgIoSender send) : send_(std::move(send)) {}
    ScsiOutcome Execute(const ScsiRequest& request) override;

private:
    SgIoSender send_;
};

}  // namespace platform::host
