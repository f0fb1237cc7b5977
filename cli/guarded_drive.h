// The command line's target drive with gates at its safe points: every
// SCSI command, every mount, every payload file created, written or given
// its attributes goes through the gate first, and is refused
// (ERROR_OPERATION_ABORTED) when the gate is closed. The make then fails at
// its next step and ends as a failed make does: its mounts and files
// released, the dialog's worker finished. A restart the make has begun is
// let through, so that a real disk is never left removed from the system.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "winmodel/model_drive.h"

namespace cli {

enum class DriveStep { kCommand, kMount, kCreateFile, kWriteFile, kSetAttributes };

// True when the step may go ahead. opcode: the command's operation code
// (kCommand only).
using StepGate = std::function<bool(DriveStep step, std::uint8_t opcode)>;

inline constexpr std::uint32_t kErrorOperationAborted = 995;  // ERROR_OPERATION_ABORTED

std::shared_ptr<platform::ModelDrive> GuardDrive(std::shared_ptr<platform::ModelDrive> drive, StepGate gate);

}  // namespace cli
