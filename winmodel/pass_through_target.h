// The port driver's side of IOCTL_SCSI_PASS_THROUGH_DIRECT, for every kind
// of drive: checks the request block as Windows does, hands the command to
// the drive's target, and writes the status byte, the sense data and the
// bytes moved back into the output block.
#pragma once

#include <cstdint>

#include "device/pass_through_record.h"
#include "platform/win_types.h"
#include "winmodel/scsi_target.h"

// A request block that passed the checks, and the command it carries.
struct PassThroughCall {
    platform::SCSI_PASS_THROUGH_DIRECT header{};
    ScsiRequest Request() const;  // points into header's CDB: keep the call alive
};

// Checks the request block: 0, or ERROR_INVALID_PARAMETER when Windows
// would refuse it (sizes, CDB length, direction, a transfer without buffer,
// data of unspecified direction, a sense area outside the output block).
std::uint32_t ReadPassThroughCall(const void* in, std::uint32_t inSize, std::uint32_t outSize,
                                  PassThroughCall* call);

// Writes what came of the command into the output block. Returns 0, or the
// operating-system error the control call fails with.
std::uint32_t WritePassThroughOutcome(const PassThroughCall& call, const ScsiOutcome& outcome,
                                      void* out, std::uint32_t* bytesReturned);

// Both, around the target's Execute.
std::uint32_t RunPassThrough(ScsiTarget& target, const void* in, std::uint32_t inSize, void* out,
                             std::uint32_t outSize, std::uint32_t* bytesReturned);
