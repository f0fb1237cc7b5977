// The make on the command line: the target attached as removable drive E:
// of the Linux backend, the dialog run headless with the console operator,
// and the exit code of the phase that failed (exit_codes.h).
#pragma once

#include <ostream>

#include "cli/arguments.h"

namespace cli {

int RunMake(const CommandLine& line, std::ostream& out, std::ostream& err);

// --list: the removable disks that may be written.
int ListDisks(std::ostream& out, std::ostream& err);

}  // namespace cli
