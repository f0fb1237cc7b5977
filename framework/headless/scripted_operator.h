// An operator for tests: records every message box and every modal dialog,
// answers boxes that have more than an OK button from a script, and runs
// scripted actions when a dialog opens. Thread-safe: boxes may come from
// the dialog's thread and from a worker at the same time. It installs
// itself as the operator while it lives.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "framework/headless/headless_ui.h"

namespace headless {

class ScriptedOperator : public Operator {
public:
    struct Box {
        std::string text;
        std::string caption;
        UINT type;
        int answer;
        bool scripted;  // false: no answer was scripted for a box that needed one
    };
    struct Dialog {
        UINT templateId;
        std::string caption;
        bool closed;
        INT_PTR result;
    };

    ScriptedOperator();
    ~ScriptedOperator() override;

    // The next box with more than an OK button gets this answer (in order).
    void Answer(int answer);
    // Runs action (on the showing thread) for every box, before it is answered.
    void OnEveryBox(std::function<void(const Box& box)> action);
    // Runs action on the dialog's thread each time a dialog from
    // templateId opens, e.g. to press one of its buttons.
    void WhenDialogOpens(UINT templateId, std::function<void(HWND dialog)> action);

    std::vector<Box> Boxes() const;
    std::vector<std::string> BoxTexts() const;
    std::vector<Dialog> Dialogs() const;
    void Forget();

    int AnswerMessageBox(const MessageBoxRequest& box) override;
    void DialogOpened(HWND dialog) override;
    void DialogClosed(HWND dialog, UINT templateId, INT_PTR result) override;

private:
    mutable std::mutex m_mutex;
    std::deque<int> m_answers;
    std::function<void(const Box&)> m_everyBox;
    std::map<UINT, std::function<void(HWND)>> m_dialogActions;
    std::vector<Box> m_boxes;
    std::vector<Dialog> m_dialogs;
    std::map<HWND, std::size_t> m_openDialogs;
};

}  // namespace headless
