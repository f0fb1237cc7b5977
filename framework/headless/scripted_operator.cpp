#include "framework/headless/scripted_operator.h"

#include "framework/headless/window_system.h"

namespace headless {

namespace {
UINT TemplateIdOf(HWND dialog) {
    std::lock_guard lock(detail::WindowsMutex());
    const detail::Window* window = detail::FindWindowRecord(dialog);
    return window != nullptr ? window->templateId : 0;
}
}  // namespace

ScriptedOperator::ScriptedOperator() { SetOperator(this); }

ScriptedOperator::~ScriptedOperator() {
    if (detail::CurrentOperator() == this) SetOperator(nullptr);
}

void ScriptedOperator::Answer(int answer) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

void ScriptedOperator::OnEveryBox(std::function<void(const Box&)> action) {
    std::lock_guard lock(m_mutex);
    m_everyBox = std::move(action);
}

void ScriptedOperator::WhenDialogOpens(UINT templateId, std::function<void(HWND)> action) {
    std::lock_guard lock(m_mutex);
    m_dialogActions[templateId] = std::move(action);
}

std::vector<ScriptedOperator::Box> ScriptedOperator::Boxes() const {
    std::lock_guard lock(m_mutex);
    return m_boxes;
}

std::vector<std::string> ScriptedOperator::BoxTexts() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const Box& box : m_boxes) texts.push_back(box.text);
    return texts;
}

std::vector<ScriptedOperator::Dialog> ScriptedOperator::Dialogs() const {
    std::lock_guard lock(m_mutex);
    return m_dialogs;
}

void ScriptedOperator::Forget() {
    std::lock_guard lock(m_mutex);
    m_boxes.clear();
    m_dialogs.clear();
    m_openDialogs.clear();
}

int ScriptedOperator::AnswerMessageBox(const MessageBoxRequest& request) {
    Box box{request.text, request.caption, request.type, IDOK, true};
    std::function<void(const Box&)> everyBox;
    {
        std::lock_guard lock(m_mutex);
        if ((request.type & MB_TYPEMASK) != MB_OK) {
            if (m_answers.empty()) {
                box.scripted = false;
                box.answer = (request.type & MB_TYPEMASK) == MB_OKCANCEL ? IDCANCEL : IDNO;
            } else {
                box.answer = m_answers.front();
                m_answers.pop_front();
            }
        }
        m_boxes.push_back(box);
        everyBox = m_everyBox;
    }
    if (everyBox) everyBox(box);
    return box.answer;
}

void ScriptedOperator::DialogOpened(HWND dialog) {
    const UINT templateId = TemplateIdOf(dialog);
    std::function<void(HWND)> action;
    {
        std::lock_guard lock(m_mutex);
        m_openDialogs[dialog] = m_dialogs.size();
        m_dialogs.push_back({templateId, WindowText(dialog), false, 0});
        if (auto found = m_dialogActions.find(templateId); found != m_dialogActions.end()) {
            action = found->second;
        }
    }
    if (action) action(dialog);
}

void ScriptedOperator::DialogClosed(HWND dialog, UINT, INT_PTR result) {
    std::lock_guard lock(m_mutex);
    auto open = m_openDialogs.find(dialog);
    if (open == m_openDialogs.end()) return;
    m_dialogs[open->second].closed = true;
    m_dialogs[open->second].result = result;
    m_openDialogs.erase(open);
}

}  // namespace headless
