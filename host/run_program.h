// Runs a helper program (mtools) to completion without a shell, so that no
// path or name is ever taken as shell syntax. The program runs in a process
// group of its own (a Ctrl-C on the terminal reaches only makevorndisk,
// which decides what to stop), with the default signal handling and mask,
// under a time limit; it is registered as a leftover while it runs
// (leftovers.h) and never outlives the call.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace platform::host {

// The descriptor a passed file has in the child ("/dev/fd/3").
inline constexpr int kPassedDescriptor = 3;

struct ProgramOptions {
    // Added to the caller's environment ("NAME=value").
    std::vector<std::string> extraEnvironment;
    // When not -1: a descriptor of ours the child gets as kPassedDescriptor.
    int passedDescriptor = -1;
    // After this long the program's group is asked to end (SIGTERM), and a
    // moment later killed.
    std::chrono::milliseconds timeLimit{std::chrono::seconds(120)};
};

struct ProgramRun {
    bool started = false;  // false: the program could not be run at all
    int exitCode = -1;     // its exit code; -1 when it was ended by a signal
    bool timedOut = false; // it was ended because it ran out of time
    std::string errors;    // what it wrote on stderr (stdout is discarded)
};

// argv[0] is looked up in PATH.
ProgramRun RunProgram(const std::vector<std::string>& argv, const ProgramOptions& options = {});

// The program file PATH finds for name, or empty.
std::string FindInPath(const std::string& name);

}  // namespace platform::host
