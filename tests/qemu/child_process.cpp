#include "tests/qemu/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace qemu_test {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);

std::vector<char*> ArgvPointers(const std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    for (const std::string& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return -1;
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv) {
    ProgramResult result;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<char*> pointers = ArgvPointers(argv);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        result.output = "cannot run " + argv[0];
        return result;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got > 0) {
            result.output.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = ExitCodeOf(status);
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& logPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> pointers = ArgvPointers(argv);
    if (posix_spawnp(&m_pid, pointers[0], &actions, nullptr, pointers.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Reap(int options) {
    if (m_pid <= 0 || m_exitCode) return true;
    int status = 0;
    const pid_t done = waitpid(m_pid, &status, options);
    if (done != m_pid) return false;
    m_exitCode = ExitCodeOf(status);
    return true;
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!Reap(WNOHANG)) {
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(kPollInterval);
    }
    return m_exitCode;
}

bool ChildProcess::Running() { return m_pid > 0 && !Reap(WNOHANG); }

void ChildProcess::Kill() {
    if (!Running()) return;
    kill(m_pid, SIGKILL);
    Reap(0);
}

}  // namespace qemu_test
