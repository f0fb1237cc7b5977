// Running the programs a boot test needs: tools to completion, QEMU in the
// background with a bounded wait.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qemu_test {

struct ProgramResult {
    int exitCode = -1;   // -1 when the program could not be run or was killed
    std::string output;  // stdout and stderr together
};

// Runs argv[0] (looked up in PATH) to completion.
ProgramResult RunProgram(const std::vector<std::string>& argv);

// A program running in the background with stdout and stderr in a file.
// The destructor kills it if it still runs.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::string& logPath);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    // The exit code once it has ended, nullopt while it runs after the wait.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
    bool Running();
    void Kill();

private:
    bool Reap(int options);

    pid_t m_pid = -1;
    std::optional<int> m_exitCode;
};

}  // namespace qemu_test
