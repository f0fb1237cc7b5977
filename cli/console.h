// The terminal side of the command line: whole lines on standard output,
// a progress line under them while long phases run (only when standard
// output is a terminal), and the operator's answers from standard input.
// Thread-safe: the dialog's thread and the worker both print.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

namespace cli {

class Console {
public:
    // showProgress: draw the progress line (standard output is a terminal).
    Console(std::ostream& out, bool showProgress);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // One line of output; the progress line is cleared first and drawn
    // again below it.
    void Line(const std::string& text);
    // What the progress line says from now on (empty: none).
    void SetProgress(const std::string& text);
    // Prints the question without a line end and reads the answer; the
    // progress line stays away meanwhile. Empty at the end of input.
    std::optional<std::string> Ask(const std::string& question);

private:
    void ClearProgressLocked();
    void DrawProgressLocked();
    void Tick();

    std::ostream& out_;
    const bool showProgress_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string progress_;
    bool drawn_ = false;
    bool asking_ = false;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point progressSince_;
    std::thread ticker_;
};

}  // namespace cli
