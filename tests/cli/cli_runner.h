// Runs the built makevorndisk as an operator would: in a folder of its own,
// with standard input from nothing or from a terminal (a pseudo-terminal
// whose questions the test answers), and steered while it runs: once its
// output shows a text, the test types an answer or sends a signal.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace cli_test {

struct CliRun {
    int exitCode = -1;   // -1: killed or not run; 128 + N: ended by signal N
    std::string out;     // standard output (on a terminal: everything shown)
    std::string err;     // standard error (empty on a terminal)
    std::string record;  // standard output when it is piped away from the terminal
};

struct CliOptions {
    std::vector<std::string> environment;  // "NAME=value", added to the test's own
    bool terminal = false;                 // standard input, output and error on a pseudo-terminal
    bool recordPiped = false;              // on a terminal, but standard output to a pipe (run.record)
    bool closedOutput = false;             // standard output a pipe whose reader has gone
    std::chrono::seconds limit{120};       // then the program is killed
};

// One thing the test does while the program runs, once all its output so
// far (standard output and error together) contains waitFor.
struct CliStep {
    std::string waitFor;
    std::string typed;  // typed with a line end (on a terminal)
    int signal = 0;     // else sent to the program
    std::function<void()> action = nullptr;  // else done by the test
};

CliRun RunCliSteered(const std::string& folder, const std::vector<std::string>& arguments, const CliOptions& options,
                     const std::vector<CliStep>& steps);

// Standard input is /dev/null: no terminal to ask.
CliRun RunCli(const std::string& folder, const std::vector<std::string>& arguments);

// On a pseudo-terminal: once the output shows prompt, answer is typed.
CliRun RunCliOnTerminal(const std::string& folder, const std::vector<std::string>& arguments,
                        const std::string& prompt, const std::string& answer);

// The processes whose command line mentions the text (a test's folder):
// "pid: command line" each.
std::vector<std::string> ProcessesMentioning(const std::string& text);

// The mount points at or below the folder.
std::vector<std::string> MountsBelow(const std::string& folder);

}  // namespace cli_test
