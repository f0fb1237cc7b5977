#include "host/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/leftovers.h"

extern char** environ;

namespace platform::host {

namespace {

// How long a program that was asked to end (SIGTERM) has before it is killed.
constexpr auto kEndGrace = std::chrono::seconds(2);
constexpr auto kReapPause = std::chrono::milliseconds(20);
constexpr int kLookInterval = 50;  // milliseconds between looks at whether the program has ended
constexpr int kNotFoundExitCode = 127;  // what the spawned child returns when exec fails
// What is kept of a program's errors: a program that repeats one line
// without end must not fill the memory.
constexpr std::size_t kErrorsKept = 64 * 1024;

// The signals makevorndisk catches; the child takes their default actions.
constexpr int kCaughtSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT};

std::vector<char*> CStrings(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

int Remaining(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Waits until the child has ended or the deadline passed; true once it
// ended. The child is left unreaped, so that its process group cannot be
// taken by another process before it is killed.
bool EndedBy(pid_t pid, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        siginfo_t info{};
        const int result = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if (result == 0 && info.si_pid == pid) return true;
        if (result < 0 && errno != EINTR) return true;  // nothing left to wait for
        if (std::chrono::steady_clock::now() >= deadline) return false;
        poll(nullptr, 0, static_cast<int>(kReapPause.count()));
    }
}

// Kills whatever is left of the child's group, then reaps the child.
int KillGroupAndReap(pid_t pid) {
    kill(-pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Ends the child's group: asked first, killed when it does not go.
int EndGroup(pid_t pid) {
    kill(-pid, SIGTERM);
    EndedBy(pid, std::chrono::steady_clock::now() + kEndGrace);
    return KillGroupAndReap(pid);
}

}  // namespace

std::string FindInPath(const std::string& name) {
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}

ProgramRun RunProgram(const std::vector<std::string>& argv, const ProgramOptions& options) {
    ProgramRun run;
    if (argv.empty()) return run;

    std::vector<std::string> arguments = argv;
    std::vector<std::string> environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) environment.emplace_back(*entry);
    environment.insert(environment.end(), options.extraEnvironment.begin(), options.extraEnvironment.end());
    std::vector<char*> argumentPointers = CStrings(arguments);
    std::vector<char*> environmentPointers = CStrings(environment);

    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        run.errors = std::string("no pipe for ") + arguments[0] + ": " + std::strerror(errno);
        return run;
    }
    // A copy above the standard descriptors and the passed one, so that the
    // dup2 below never lands on the descriptor it copies.
    int passed = -1;
    if (options.passedDescriptor >= 0) {
        passed = fcntl(options.passedDescriptor, F_DUPFD_CLOEXEC, kPassedDescriptor + 1);
        if (passed < 0) {
            run.errors = std::string("cannot pass the image to ") + arguments[0] + ": " + std::strerror(errno);
            close(errorPipe[0]);
            close(errorPipe[1]);
            return run;
        }
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
    // dup2 clears close-on-exec on the copy the child keeps.
    if (passed >= 0) posix_spawn_file_actions_adddup2(&actions, passed, kPassedDescriptor);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : kCaughtSignals) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, arguments[0].c_str(), &actions, &attributes, argumentPointers.data(),
                                     environmentPointers.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(errorPipe[1]);
    if (passed >= 0) close(passed);
    if (spawned != 0) {
        close(errorPipe[0]);
        run.errors = arguments[0] + ": " + std::strerror(spawned);
        return run;
    }
    Leftover group(Leftover::Kind::kChildGroup, {}, pid);

    // Its errors until it ends (a child it left behind may hold the pipe
    // open) or its time is up.
    const auto deadline = std::chrono::steady_clock::now() + options.timeLimit;
    std::array<char, 1024> chunk;
    bool ended = false;
    bool open = true;
    while (open && !ended) {
        if (std::chrono::steady_clock::now() >= deadline) {
            run.timedOut = true;
            break;
        }
        pollfd wait{errorPipe[0], POLLIN, 0};
        const int ready = poll(&wait, 1, std::min(Remaining(deadline), kLookInterval));
        ended = EndedBy(pid, std::chrono::steady_clock::now());
        if (ready <= 0 && !ended) continue;
        // What is there now, without waiting for more.
        for (;;) {
            pollfd more{errorPipe[0], POLLIN, 0};
            if (poll(&more, 1, 0) <= 0) break;
            const ssize_t got = read(errorPipe[0], chunk.data(), chunk.size());
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                open = false;
                break;
            }
            if (run.errors.size() < kErrorsKept) run.errors.append(chunk.data(), static_cast<std::size_t>(got));
        }
    }
    close(errorPipe[0]);

    if (run.timedOut || !EndedBy(pid, deadline)) {
        run.timedOut = true;
        group.Forget();
        EndGroup(pid);
        run.errors += arguments[0] + ": ended after running for " +
                      std::to_string(std::chrono::duration_cast<std::chrono::seconds>(options.timeLimit).count()) +
                      " s without finishing\n";
        run.started = true;
        run.exitCode = -1;
        return run;
    }
    // Whatever it started in its group goes with it.
    group.Forget();
    const int status = KillGroupAndReap(pid);
    run.started = true;
    // posix_spawnp reports a program that is not in PATH as exit code 127.
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNotFoundExitCode && run.errors.empty()) {
        run.started = false;
        run.errors = arguments[0] + ": not found";
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace platform::host
