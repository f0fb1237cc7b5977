#include "tests/cli/cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>

#ifndef VORN_MAKEVORNDISK
#error "VORN_MAKEVORNDISK: the path of the built program"
#endif

namespace cli_test {

namespace {

constexpr auto kRunLimit = std::chrono::seconds(120);

std::vector<char*> Argv(std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return argv;
}

std::vector<std::string> CommandOf(const std::vector<std::string>& arguments) {
    std::vector<std::string> command = {VORN_MAKEVORNDISK};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

int Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Reads the given descriptors until all are closed, within the run limit;
// onOutput may write to the terminal.
template <typename OnOutput>
void Drain(std::vector<std::pair<int, std::string*>> sources, pid_t pid, OnOutput onOutput) {
    const auto deadline = std::chrono::steady_clock::now() + kRunLimit;
    while (!sources.empty()) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            break;
        }
        std::vector<pollfd> polls;
        for (const auto& source : sources) polls.push_back({source.first, POLLIN, 0});
        if (poll(polls.data(), polls.size(), 100) < 0 && errno != EINTR) break;
        for (std::size_t i = polls.size(); i-- > 0;) {
            if (polls[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t got = read(polls[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sources[i].second->append(buffer, static_cast<std::size_t>(got));
                onOutput(sources[i].first, *sources[i].second);
            } else if (got == 0 || errno != EINTR) {
                // End of output (a terminal reports EIO once the program has gone).
                close(sources[i].first);
                sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
}

}  // namespace

CliRun RunCli(const std::string& folder, const std::vector<std::string>& arguments) {
    CliRun run;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return run;
    std::vector<std::string> command = CommandOf(arguments);
    std::vector<char*> argv = Argv(command);
    const pid_t pid = fork();
    if (pid == 0) {
        const int input = open("/dev/null", O_RDONLY);
        if (chdir(folder.c_str()) != 0 || input < 0) _exit(126);
        dup2(input, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        close(outPipe[0]);
        close(errPipe[0]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return run;
    }
    Drain({{outPipe[0], &run.out}, {errPipe[0], &run.err}}, pid, [](int, const std::string&) {});
    run.exitCode = Wait(pid);
    return run;
}

CliRun RunCliOnTerminal(const std::string& folder, const std::vector<std::string>& arguments,
                        const std::string& prompt, const std::string& answer) {
    CliRun run;
    std::vector<std::string> command = CommandOf(arguments);
    std::vector<char*> argv = Argv(command);
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0) return run;
    bool answered = false;
    Drain({{terminal, &run.out}}, pid, [&](int fd, const std::string& shown) {
        if (!answered && shown.find(prompt) != std::string::npos) {
            answered = true;
            const std::string typed = answer + "\n";
            if (write(fd, typed.data(), typed.size()) < 0) answered = false;
        }
    });
    run.exitCode = Wait(pid);
    return run;
}

}  // namespace cli_test
