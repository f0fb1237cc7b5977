// Runs the built makevorndisk as an operator would: in a folder of its own,
// with standard input from nothing or from a terminal (a pseudo-terminal
// whose questions the test answers).
#pragma once

#include <string>
#include <vector>

namespace cli_test {

struct CliRun {
    int exitCode = -1;  // -1: killed or not run
    std::string out;    // standard output (on a terminal: everything shown)
    std::string err;    // standard error (empty on a terminal)
};

// Standard input is /dev/null: no terminal to ask.
CliRun RunCli(const std::string& folder, const std::vector<std::string>& arguments);

// On a pseudo-terminal: once the output shows prompt, answer is typed.
CliRun RunCliOnTerminal(const std::string& folder, const std::vector<std::string>& arguments,
                        const std::string& prompt, const std::string& answer);

}  // namespace cli_test
