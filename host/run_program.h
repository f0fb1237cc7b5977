// Runs a helper program (mtools) to completion without a shell, so that no
// path or name is ever taken as shell syntax.
#pragma once

#include <string>
#include <vector>

namespace platform::host {

struct ProgramRun {
    bool started = false;  // false: the program could not be run at all
    int exitCode = -1;     // its exit code; -1 when it was killed by a signal
    std::string errors;    // what it wrote on stderr (stdout is discarded)
};

// argv[0] is looked up in PATH; extraEnvironment entries ("NAME=value") are
// added to the caller's environment.
ProgramRun RunProgram(const std::vector<std::string>& argv,
                      const std::vector<std::string>& extraEnvironment = {});

}  // namespace platform::host
