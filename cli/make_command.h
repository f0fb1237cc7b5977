// The make on the command line: the target attached as removable drive E:
// of the Linux backend, the dialog run headless with the console operator,
// and the exit code of the phase that failed (exit_codes.h).
#pragma once

#include <functional>
#include <memory>
#include <ostream>

#include "cli/arguments.h"
#include "winmodel/model_drive.h"

namespace cli {

// Given the target's drive, the drive to attach in its place. The program
// passes none; a test program passes one that wraps the drive with faults.
using DriveHook = std::function<std::shared_ptr<platform::ModelDrive>(std::shared_ptr<platform::ModelDrive>)>;

int RunMake(const CommandLine& line, std::ostream& out, std::ostream& err, const DriveHook& hook = nullptr);

// --list: the removable disks that may be written.
int ListDisks(std::ostream& out, std::ostream& err);

}  // namespace cli
