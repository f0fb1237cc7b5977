#include "cli/interrupts.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <thread>

#include "cli/exit_codes.h"
#include "host/leftovers.h"

namespace cli {

namespace {

constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

std::atomic<int> firstSignal{0};
int signalPipe[2] = {-1, -1};     // the handler writes each signal's number
int interruptedPipe[2] = {-1, -1};  // written once, at the first interrupt

void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &number, 1);
    errno = saved;
}

void Say(const std::string& text) {
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
}

void Watch() {
    for (;;) {
        unsigned char number = 0;
        const ssize_t got = ::read(signalPipe[0], &number, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        const int signal = number;
        if (firstSignal.load() == 0) {
            // Said before the make learns of it, so that the program cannot
            // end before it is said.
            Say("\nmakevorndisk: interrupted (" + SignalName(signal) +
                "): stopping at the next safe point; interrupt again to stop at once\n");
            firstSignal.store(signal);
            const unsigned char mark = 1;
            [[maybe_unused]] const ssize_t written = ::write(interruptedPipe[1], &mark, 1);
            continue;
        }
        // Every later write to the closed pipe raises SIGPIPE again: only
        // an operator's second interrupt ends the program at once.
        if (signal == SIGPIPE) continue;
        Say("\nmakevorndisk: interrupted again (" + SignalName(signal) +
            "): stopping at once, the target is left unfinished\n");
        platform::host::RemoveLeftoversNow();
        ::_exit(InterruptedExitCode(signal));
    }
}

}  // namespace

void WatchInterrupts() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (::pipe2(signalPipe, O_CLOEXEC) != 0 || ::pipe2(interruptedPipe, O_CLOEXEC) != 0) return;
        // A full pipe drops a signal rather than blocking the handler.
        ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
        std::thread(Watch).detach();
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int signal : kInterruptSignals) ::sigaction(signal, &action, nullptr);
    });
}

int InterruptSignal() { return firstSignal.load(); }

int InterruptDescriptor() { return interruptedPipe[0]; }

std::string SignalName(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    case SIGPIPE:
        return "SIGPIPE";
    default:
        return "signal " + std::to_string(signal);
    }
}

int InterruptedExitCode(int signal) { return kExitInterruptedBase + signal; }

}  // namespace cli
