// The operator of the command line: prints every message box and every
// line of the dialog's log as it is added, and answers the Yes/No
// confirmation: Yes with --yes; otherwise the question is asked on the
// terminal, naming the target; with no terminal to ask, the answer is No.
// After an interrupt, and for an interrupt while the question waits, the
// answer is No.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "cli/console.h"
#include "framework/headless/headless_ui.h"

namespace cli {

class ConsoleOperator : public headless::Operator {
public:
    enum class Confirmation { kAnswerYes, kAskTerminal, kAnswerNo };

    // targetNote: what the question says of the target, one line ("The drive
    // is the image file ..."). boxOnTerminal: the record is not shown on the
    // terminal, so the question repeats the box's text there.
    ConsoleOperator(Console& console, Confirmation confirmation, std::string targetNote = {},
                    bool boxOnTerminal = false);
    ~ConsoleOperator() override;

    // From now on the lines of this list box are printed, beginning with
    // those it already holds; lines of other lists are not.
    void PrintLinesOf(HWND logList);

    struct Box {
        std::string text;
        UINT type;
        int answer;
    };
    std::vector<Box> Boxes() const;

    int AnswerMessageBox(const headless::MessageBoxRequest& box) override;
    void ListChanged(HWND list, const std::string* addedText) override;

private:
    int Answer(const headless::MessageBoxRequest& box);

    Console& console_;
    const Confirmation confirmation_;
    const std::string targetNote_;
    const bool boxOnTerminal_;
    mutable std::mutex mutex_;
    HWND log_ = nullptr;
    std::map<HWND, std::vector<std::string>> unwatched_;  // lines of lists before PrintLinesOf
    std::vector<Box> boxes_;
};

// A log line or box text as one line of output: without its line end and
// carriage return.
std::string OutputLine(std::string text);

}  // namespace cli
