// The terminal side of the command line: the make's record as whole lines
// on one stream (standard output), and on the terminal (standard error) a
// progress line while long phases run (only when it is a terminal) and
// the questions, whose answers come from standard input.
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
    // showProgress: draw the progress line (the terminal stream is one).
    // cancelDescriptor: a question is given up when it becomes readable.
    Console(std::ostream& record, std::ostream& terminal, bool showProgress, int cancelDescriptor = -1);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // One line of the record; the progress line is cleared first and drawn
    // again below it.
    void Line(const std::string& text);
    // One line on the terminal only.
    void TerminalLine(const std::string& text);
    // What the progress line says from now on (empty: none).
    void SetProgress(const std::string& text);
    // Prints the question on the terminal without a line end and reads the
    // answer; the progress line stays away meanwhile. Empty at the end of
    // input and when the question is given up.
    std::optional<std::string> Ask(const std::string& question);

private:
    void ClearProgressLocked();
    void DrawProgressLocked();
    void Tick();

    std::ostream& record_;
    std::ostream& terminal_;
    const bool showProgress_;
    const int cancelDescriptor_;
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
