// CWnd on real windows.
#include "framework/win32/windows_include.h"

#include <vector>

#include "framework/backend.h"
#include "framework/win32/text_win32.h"
#include "framework/window.h"

void CWnd::SetWindowText(const char* text) { ::SetWindowTextW(m_hWnd, Utf8ToWide(text).c_str()); }

void CWnd::GetWindowText(CString& text) const {
    const int length = ::GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(m_hWnd, buffer.data(), length + 1);
    text = WideToUtf8(buffer.data(), copied).c_str();
}

bool CWnd::EnableWindow(bool enable) { return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE) != 0; }

bool CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != 0; }

void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }

void CWnd::Invalidate(bool erase) { ::InvalidateRect(m_hWnd, nullptr, erase ? TRUE : FALSE); }

bool CWnd::IsIconic() const { return ::IsIconic(m_hWnd) != 0; }

void CWnd::GetClientRect(CRect* rect) const {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    *rect = CRect{client.left, client.top, client.right, client.bottom};
}

HICON CWnd::SetIcon(HICON icon, bool bigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

HMENU CWnd::SystemMenuHandle(bool revert) { return ::GetSystemMenu(m_hWnd, revert ? TRUE : FALSE); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

bool CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(m_hWnd, message, wParam, lParam) != 0;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_defaultWindowProc != nullptr) {
        return ::CallWindowProcW(reinterpret_cast<WNDPROC>(m_defaultWindowProc), m_hWnd, message, wParam,
                                 lParam);
    }
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

namespace framework::backend {

HWND FindChildWindow(HWND parent, int id) { return ::GetDlgItem(parent, id); }

}  // namespace framework::backend
