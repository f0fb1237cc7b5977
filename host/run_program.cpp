#include "host/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace platform::host {

namespace {

std::vector<char*> CStrings(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment) {
    ProgramRun run;
    if (argv.empty()) return run;

    std::vector<std::string> arguments = argv;
    std::vector<std::string> environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) environment.emplace_back(*entry);
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> argumentPointers = CStrings(arguments);
    std::vector<char*> environmentPointers = CStrings(environment);

    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) return run;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);

    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, arguments[0].c_str(), &actions, nullptr, argumentPointers.data(),
                                     environmentPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    close(errorPipe[1]);
    if (spawned != 0) {
        close(errorPipe[0]);
        run.errors = arguments[0] + ": " + std::strerror(spawned);
        return run;
    }

    std::array<char, 1024> chunk;
    for (;;) {
        const ssize_t got = read(errorPipe[0], chunk.data(), chunk.size());
        if (got > 0) {
            run.errors.append(chunk.data(), static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(errorPipe[0]);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return run;
    }
    run.started = true;
    // posix_spawnp reports a program that is not in PATH as exit code 127.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && run.errors.empty()) {
        run.started = false;
        run.errors = arguments[0] + ": not found";
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace platform::host
