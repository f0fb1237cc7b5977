#include "cli/console.h"

#include <cstdio>

#include "host/terminal.h"

namespace cli {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(250);
constexpr const char* kEraseLine = "\r\033[K";  // back to column 0, erase to the end of the line
}  // namespace

Console::Console(std::ostream& record, std::ostream& terminal, bool showProgress, int cancelDescriptor)
    : record_(record), terminal_(terminal), showProgress_(showProgress), cancelDescriptor_(cancelDescriptor) {
    if (showProgress_) ticker_ = std::thread([this] { Tick(); });
}

Console::~Console() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        ClearProgressLocked();
    }
    wake_.notify_all();
    if (ticker_.joinable()) ticker_.join();
    record_.flush();
    terminal_.flush();
}

void Console::ClearProgressLocked() {
    if (!drawn_) return;
    terminal_ << kEraseLine << std::flush;
    drawn_ = false;
}

void Console::DrawProgressLocked() {
    if (!showProgress_ || asking_ || stopping_ || progress_.empty()) return;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() -
                                                                          progressSince_).count();
    terminal_ << kEraseLine << "  ... " << progress_ << " (" << seconds << " s)" << std::flush;
    drawn_ = true;
}

void Console::Line(const std::string& text) {
    std::lock_guard lock(mutex_);
    ClearProgressLocked();
    record_ << text << '\n' << std::flush;
    DrawProgressLocked();
}

void Console::TerminalLine(const std::string& text) {
    std::lock_guard lock(mutex_);
    ClearProgressLocked();
    terminal_ << text << '\n' << std::flush;
    DrawProgressLocked();
}

void Console::SetProgress(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (text == progress_) return;
    if (text.empty()) ClearProgressLocked();
    progress_ = text;
    progressSince_ = std::chrono::steady_clock::now();
    DrawProgressLocked();
}

std::optional<std::string> Console::Ask(const std::string& question) {
    {
        std::lock_guard lock(mutex_);
        ClearProgressLocked();
        asking_ = true;
        terminal_ << question << std::flush;
    }
    std::optional<std::string> answer = platform::host::ReadStdinLine(cancelDescriptor_);
    std::lock_guard lock(mutex_);
    if (!answer) terminal_ << '\n' << std::flush;
    asking_ = false;
    DrawProgressLocked();
    return answer;
}

void Console::Tick() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, kRedrawInterval);
        if (drawn_ || !progress_.empty()) DrawProgressLocked();
    }
}

}  // namespace cli
