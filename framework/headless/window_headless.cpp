// CWnd on in-memory windows.
#include "framework/backend.h"
#include "framework/headless/window_system.h"
#include "framework/window.h"

using headless::detail::FindWindowRecord;
using headless::detail::Window;
using headless::detail::WindowsMutex;

void CWnd::SetWindowText(const char* text) {
    std::lock_guard lock(WindowsMutex());
    if (Window* window = FindWindowRecord(m_hWnd)) window->text = text != nullptr ? text : "";
}

void CWnd::GetWindowText(CString& text) const {
    std::lock_guard lock(WindowsMutex());
    const Window* window = FindWindowRecord(m_hWnd);
    text = window != nullptr ? window->text.c_str() : "";
}

bool CWnd::EnableWindow(bool enable) {
    std::lock_guard lock(WindowsMutex());
    Window* window = FindWindowRecord(m_hWnd);
    if (window == nullptr) return false;
    const bool wasDisabled = (window->style & WS_DISABLED) != 0;
    if (enable) {
        window->style &= ~WS_DISABLED;
    } else {
        window->style |= WS_DISABLED;
    }
    return wasDisabled;
}

bool CWnd::IsWindowEnabled() const {
    std::lock_guard lock(WindowsMutex());
    const Window* window = FindWindowRecord(m_hWnd);
    return window != nullptr && (window->style & WS_DISABLED) == 0;
}

void CWnd::UpdateWindow() {}

void CWnd::Invalidate(bool) {}

bool CWnd::IsIconic() const {
    std::lock_guard lock(WindowsMutex());
    const Window* window = FindWindowRecord(m_hWnd);
    return window != nullptr && window->iconic;
}

void CWnd::GetClientRect(CRect* rect) const {
    std::lock_guard lock(WindowsMutex());
    const Window* window = FindWindowRecord(m_hWnd);
    *rect = CRect{};
    if (window != nullptr) {
        rect->right = window->clientWidth;
        rect->bottom = window->clientHeight;
    }
}

HICON CWnd::SetIcon(HICON icon, bool bigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

HMENU CWnd::SystemMenuHandle(bool) {
    std::lock_guard lock(WindowsMutex());
    const Window* window = FindWindowRecord(m_hWnd);
    if (window == nullptr || (window->style & WS_SYSMENU) == 0) return nullptr;
    return headless::detail::MenuHandleOf(m_hWnd);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return headless::detail::Send(m_hWnd, message, wParam, lParam);
}

bool CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return headless::detail::Post(m_hWnd, message, wParam, lParam);
}

// What the window system does with a message nobody handled.
LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0u) == SC_CLOSE) return SendMessage(WM_CLOSE);
        return 0;
    case WM_CLOSE:
        // A dialog turns its close box into the Cancel command.
        return SendMessage(WM_COMMAND, MakeWParam(static_cast<UINT>(IDCANCEL), BN_CLICKED), 0);
    case WM_SETICON: {
        std::lock_guard lock(WindowsMutex());
        Window* window = FindWindowRecord(m_hWnd);
        if (window == nullptr) return 0;
        HICON& slot = wParam == ICON_BIG ? window->bigIcon : window->smallIcon;
        HICON previous = slot;
        slot = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(previous);
    }
    default:
        return 0;
    }
}

namespace framework::backend {

HWND FindChildWindow(HWND parent, int id) {
    std::lock_guard lock(WindowsMutex());
    const Window* dialog = FindWindowRecord(parent);
    if (dialog == nullptr) return nullptr;
    for (HWND child : dialog->children) {
        const Window* record = FindWindowRecord(child);
        if (record != nullptr && record->id == id) return child;
    }
    return nullptr;
}

}  // namespace framework::backend
