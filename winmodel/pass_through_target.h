// The port driver's side of IOCTL_SCSI_PASS_THROUGH_DIRECT for an emulated
// disk: checks the request block as Windows does, runs the command, and
// writes the status byte and the sense data back into the output block.
#pragma once

#include <cstdint>

class EmulatedScsiDisk;

// Returns 0, or the operating-system error code the control call fails with.
std::uint32_t RunPassThrough(EmulatedScsiDisk& disk, const void* in, std::uint32_t inSize,
                             void* out, std::uint32_t outSize, std::uint32_t* bytesReturned);
