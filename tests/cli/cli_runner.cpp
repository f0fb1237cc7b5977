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
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef VORN_MAKEVORNDISK
#error "VORN_MAKEVORNDISK: the path of the built program"
#endif

namespace cli_test {

namespace {

std::vector<char*> Argv(std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return argv;
}

int Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// In the child: the folder and the environment, then the program.
[[noreturn]] void Exec(const std::string& folder, const CliOptions& options, std::vector<char*>& argv) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    for (const std::string& entry : options.environment) putenv(const_cast<char*>(entry.c_str()));
    // The program takes the default signal handling, as from a shell.
    signal(SIGPIPE, SIG_DFL);
    execv(argv[0], argv.data());
    _exit(127);
}

}  // namespace

CliRun RunCliSteered(const std::string& folder, const std::vector<std::string>& arguments, const CliOptions& options,
                     const std::vector<CliStep>& steps) {
    CliRun run;
    std::vector<std::string> command = {VORN_MAKEVORNDISK};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv = Argv(command);

    std::vector<std::pair<int, std::string*>> sources;
    pid_t pid = -1;
    if (options.terminal) {
        int recordPipe[2] = {-1, -1};
        if (options.recordPiped && pipe(recordPipe) != 0) return run;
        int terminal = -1;
        pid = forkpty(&terminal, nullptr, nullptr, nullptr);
        if (pid == 0) {
            if (options.recordPiped) {
                dup2(recordPipe[1], STDOUT_FILENO);
                close(recordPipe[0]);
                close(recordPipe[1]);
            }
            Exec(folder, options, argv);
        }
        if (options.recordPiped) close(recordPipe[1]);
        if (pid < 0) return run;
        sources.push_back({terminal, &run.out});
        if (options.recordPiped) sources.push_back({recordPipe[0], &run.record});
    } else {
        int outPipe[2], errPipe[2];
        if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return run;
        // The reader of the output is gone before the program starts.
        if (options.closedOutput) close(outPipe[0]);
        pid = fork();
        if (pid == 0) {
            const int input = open("/dev/null", O_RDONLY);
            if (input < 0) _exit(126);
            dup2(input, STDIN_FILENO);
            dup2(outPipe[1], STDOUT_FILENO);
            dup2(errPipe[1], STDERR_FILENO);
            if (!options.closedOutput) close(outPipe[0]);
            close(errPipe[0]);
            close(outPipe[1]);
            close(errPipe[1]);
            Exec(folder, options, argv);
        }
        close(outPipe[1]);
        close(errPipe[1]);
        if (!options.closedOutput) sources.push_back({outPipe[0], &run.out});
        sources.push_back({errPipe[0], &run.err});
        if (pid < 0) {
            for (const auto& source : sources) close(source.first);
            return run;
        }
    }

    const int terminal = options.terminal ? sources.front().first : -1;
    std::size_t next = 0;
    const auto steer = [&] {
        while (next < steps.size() &&
               (run.out + run.err + run.record).find(steps[next].waitFor) != std::string::npos) {
            const CliStep& step = steps[next++];
            if (step.signal != 0) {
                kill(pid, step.signal);
            } else if (step.action) {
                step.action();
            } else if (terminal >= 0) {
                const std::string typed = step.typed + "\n";
                if (write(terminal, typed.data(), typed.size()) < 0) return;
            }
        }
    };
    steer();

    // Everything it writes, until it closes its output, within the run limit.
    const auto deadline = std::chrono::steady_clock::now() + options.limit;
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
                steer();
            } else if (got == 0 || errno != EINTR) {
                // End of output (a terminal reports EIO once the program has gone).
                close(sources[i].first);
                sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    for (const auto& source : sources) close(source.first);
    run.exitCode = Wait(pid);
    return run;
}

CliRun RunCli(const std::string& folder, const std::vector<std::string>& arguments) {
    return RunCliSteered(folder, arguments, {}, {});
}

CliRun RunCliOnTerminal(const std::string& folder, const std::vector<std::string>& arguments,
                        const std::string& prompt, const std::string& answer) {
    CliOptions options;
    options.terminal = true;
    return RunCliSteered(folder, arguments, options, {CliStep{prompt, answer, 0}});
}

std::vector<std::string> ProcessesMentioning(const std::string& text) {
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream file(entry.path() / "cmdline", std::ios::binary);
        std::string line((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        for (char& c : line) c = c == '\0' ? ' ' : c;
        if (line.find(text) != std::string::npos) found.push_back(pid + ": " + line);
    }
    return found;
}

std::vector<std::string> MountsBelow(const std::string& folder) {
    std::vector<std::string> mounts;
    std::ifstream table("/proc/self/mountinfo");
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string id, parent, dev, root, point;
        if (fields >> id >> parent >> dev >> root >> point && point.rfind(folder, 0) == 0) mounts.push_back(point);
    }
    return mounts;
}

}  // namespace cli_test
