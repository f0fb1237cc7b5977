// List boxes, combo boxes and buttons on in-memory windows.
#include "framework/controls.h"
#include "framework/headless/window_system.h"

using headless::detail::FindWindowRecord;
using headless::detail::Window;
using headless::detail::WindowsMutex;

namespace {

bool IndexInRange(const Window& window, int index) {
    return index >= 0 && index < static_cast<int>(window.items.size());
}

void TellOperator(HWND handle, const std::string* addedText) {
    if (headless::Operator* op = headless::detail::CurrentOperator()) op->ListChanged(handle, addedText);
}

int AppendItem(HWND handle, const char* text, int failure) {
    const std::string item(text != nullptr ? text : "");
    int index = failure;
    {
        std::lock_guard lock(WindowsMutex());
        Window* window = FindWindowRecord(handle);
        if (window == nullptr) return failure;
        window->items.push_back(item);
        index = static_cast<int>(window->items.size()) - 1;
    }
    TellOperator(handle, &item);
    return index;
}

int ItemCount(HWND handle, int failure) {
    std::lock_guard lock(WindowsMutex());
    const Window* window = FindWindowRecord(handle);
    return window != nullptr ? static_cast<int>(window->items.size()) : failure;
}

int ItemText(HWND handle, int index, CString& text, int failure) {
    std::lock_guard lock(WindowsMutex());
    const Window* window = FindWindowRecord(handle);
    if (window == nullptr || !IndexInRange(*window, index)) return failure;
    text = window->items[static_cast<std::size_t>(index)].c_str();
    return text.GetLength();
}

}  // namespace

int CListBox::AddString(const char* text) { return AppendItem(m_hWnd, text, LB_ERR); }

void CListBox::ResetContent() {
    {
        std::lock_guard lock(WindowsMutex());
        Window* window = FindWindowRecord(m_hWnd);
        if (window == nullptr) return;
        window->items.clear();
    }
    TellOperator(m_hWnd, nullptr);
}

int CListBox::GetCount() const { return ItemCount(m_hWnd, LB_ERR); }

int CListBox::GetText(int index, CString& text) const { return ItemText(m_hWnd, index, text, LB_ERR); }

int CComboBox::AddString(const char* text) { return AppendItem(m_hWnd, text, CB_ERR); }

int CComboBox::DeleteString(UINT index) {
    std::lock_guard lock(WindowsMutex());
    Window* window = FindWindowRecord(m_hWnd);
    const int position = static_cast<int>(index);
    if (window == nullptr || !IndexInRange(*window, position)) return CB_ERR;
    window->items.erase(window->items.begin() + position);
    // The text field keeps its text; the selection follows its entry.
    if (window->selection == position) {
        window->selection = CB_ERR;
    } else if (window->selection > position) {
        --window->selection;
    }
    return static_cast<int>(window->items.size());
}

int CComboBox::GetCount() const { return ItemCount(m_hWnd, CB_ERR); }

int CComboBox::SetCurSel(int index) {
    std::lock_guard lock(WindowsMutex());
    Window* window = FindWindowRecord(m_hWnd);
    if (window == nullptr) return CB_ERR;
    if (!IndexInRange(*window, index)) {
        window->selection = CB_ERR;
        window->text.clear();
        return CB_ERR;
    }
    window->selection = index;
    window->text = window->items[static_cast<std::size_t>(index)];
    return index;
}

int CComboBox::GetCurSel() const {
    std::lock_guard lock(WindowsMutex());
    const Window* window = FindWindowRecord(m_hWnd);
    return window != nullptr ? window->selection : CB_ERR;
}

int CComboBox::GetLBText(int index, CString& text) const { return ItemText(m_hWnd, index, text, CB_ERR); }

int CButton::GetCheck() const {
    std::lock_guard lock(WindowsMutex());
    const Window* window = FindWindowRecord(m_hWnd);
    return window != nullptr ? window->check : BST_UNCHECKED;
}

void CButton::SetCheck(int check) {
    std::lock_guard lock(WindowsMutex());
    if (Window* window = FindWindowRecord(m_hWnd)) window->check = check;
}
