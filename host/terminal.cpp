#include "host/terminal.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace platform::host {

bool StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::optional<std::string> ReadStdinLine(int cancelDescriptor) {
    // Byte by byte with no buffer of our own, so that nothing typed after
    // the line is taken away from whoever reads standard input next.
    std::string line;
    for (;;) {
        pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {cancelDescriptor, POLLIN, 0}};
        const int ready = poll(waits, cancelDescriptor >= 0 ? 2 : 1, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (cancelDescriptor >= 0 && waits[1].revents != 0) return std::nullopt;
        char character = 0;
        const ssize_t got = read(STDIN_FILENO, &character, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) {
            if (line.empty()) return std::nullopt;
            break;  // a last line without its line end
        }
        if (character == '\n') break;
        line += character;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace platform::host
