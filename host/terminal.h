// The command line's terminal: whether standard input, output and error
// are one, and reading the operator's answer.
#pragma once

#include <optional>
#include <string>

namespace platform::host {

bool StdinIsTerminal();
bool StdoutIsTerminal();
bool StderrIsTerminal();
// One line from standard input without its line end; empty at the end of
// input, or as soon as cancelDescriptor (when not -1) becomes readable.
std::optional<std::string> ReadStdinLine(int cancelDescriptor = -1);

}  // namespace platform::host
