#include "cli/console_operator.h"

#include <cctype>

#include "cli/interrupts.h"

namespace cli {

namespace {

constexpr const char* kLogPrefix = "log: ";
constexpr const char* kBoxPrefix = "box: ";

bool IsYes(std::string answer) {
    for (char& character : answer) character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    return answer == "y" || answer == "yes";
}

}  // namespace

std::string OutputLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    // A carriage return inside a line would overwrite what is before it on a terminal.
    for (char& character : text) {
        if (character == '\r' || character == '\n') character = ' ';
    }
    return text;
}

ConsoleOperator::ConsoleOperator(Console& console, Confirmation confirmation, std::string targetNote,
                                 bool boxOnTerminal)
    : console_(console), confirmation_(confirmation), targetNote_(std::move(targetNote)),
      boxOnTerminal_(boxOnTerminal) {
    headless::SetOperator(this);
}

ConsoleOperator::~ConsoleOperator() { headless::SetOperator(nullptr); }

void ConsoleOperator::PrintLinesOf(HWND logList) {
    std::vector<std::string> pending;
    {
        std::lock_guard lock(mutex_);
        log_ = logList;
        pending = std::move(unwatched_[logList]);
        unwatched_.clear();
    }
    for (const std::string& line : pending) console_.Line(kLogPrefix + OutputLine(line));
}

std::vector<ConsoleOperator::Box> ConsoleOperator::Boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

void ConsoleOperator::ListChanged(HWND list, const std::string* addedText) {
    {
        std::lock_guard lock(mutex_);
        if (list != log_) {
            if (log_ != nullptr) return;
            if (addedText == nullptr) {
                unwatched_[list].clear();
            } else {
                unwatched_[list].push_back(*addedText);
            }
            return;
        }
        if (addedText == nullptr) return;
    }
    console_.Line(kLogPrefix + OutputLine(*addedText));
}

int ConsoleOperator::AnswerMessageBox(const headless::MessageBoxRequest& box) {
    console_.Line(kBoxPrefix + OutputLine(box.text));
    const int answer = Answer(box);
    std::lock_guard lock(mutex_);
    boxes_.push_back(Box{box.text, box.type, answer});
    return answer;
}

int ConsoleOperator::Answer(const headless::MessageBoxRequest& box) {
    const UINT buttons = box.type & MB_TYPEMASK;
    if (buttons == MB_OK) return IDOK;
    const int no = buttons == MB_OKCANCEL ? IDCANCEL : IDNO;
    const int yes = buttons == MB_OKCANCEL ? IDOK : IDYES;
    if (const int signal = InterruptSignal(); signal != 0) {
        console_.Line("answer: No (interrupted by " + SignalName(signal) + ")");
        return no;
    }
    switch (confirmation_) {
    case Confirmation::kAnswerYes:
        console_.Line("answer: Yes (--yes)");
        return yes;
    case Confirmation::kAnswerNo:
        console_.Line("answer: No (no terminal to ask; give --yes to answer Yes)");
        return no;
    case Confirmation::kAskTerminal:
        break;
    }
    std::string question;
    if (boxOnTerminal_) question += OutputLine(box.text) + "\n";
    if (!targetNote_.empty()) question += targetNote_ + "\n";
    const std::optional<std::string> reply = console_.Ask(question + "Yes or No? [y/N] ");
    if (const int signal = InterruptSignal(); !reply && signal != 0) {
        console_.Line("answer: No (interrupted by " + SignalName(signal) + ")");
        return no;
    }
    const bool accepted = reply && IsYes(*reply);
    console_.Line(std::string("answer: ") + (accepted ? "Yes" : "No"));
    return accepted ? yes : no;
}

}  // namespace cli
