// The command line's terminal: whether standard input and output are one,
// and reading the operator's answer.
#pragma once

#include <optional>
#include <string>

namespace platform::host {

bool StdinIsTerminal();
bool StdoutIsTerminal();
// One line from standard input without its line end; empty at end of input.
std::optional<std::string> ReadStdinLine();

}  // namespace platform::host
