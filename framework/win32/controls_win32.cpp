// List boxes, combo boxes and buttons through their window messages.
#include "framework/win32/windows_include.h"

#include <vector>

#include "framework/controls.h"
#include "framework/win32/text_win32.h"

namespace {

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(window, message, wParam, lParam);
}

int AddText(HWND window, UINT message, const char* text) {
    const std::wstring wide = Utf8ToWide(text);
    return static_cast<int>(Send(window, message, 0, reinterpret_cast<LPARAM>(wide.c_str())));
}

int ItemText(HWND window, UINT lengthMessage, UINT textMessage, int index, CString& text) {
    const auto length = static_cast<int>(Send(window, lengthMessage, static_cast<WPARAM>(index)));
    if (length < 0) return length;
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = static_cast<int>(
        Send(window, textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data())));
    if (copied < 0) return copied;
    text = WideToUtf8(buffer.data(), copied).c_str();
    return text.GetLength();
}

}  // namespace

int CListBox::AddString(const char* text) { return AddText(m_hWnd, LB_ADDSTRING, text); }

void CListBox::ResetContent() { Send(m_hWnd, LB_RESETCONTENT); }

int CListBox::GetCount() const { return static_cast<int>(Send(m_hWnd, LB_GETCOUNT)); }

int CListBox::GetText(int index, CString& text) const {
    return ItemText(m_hWnd, LB_GETTEXTLEN, LB_GETTEXT, index, text);
}

int CComboBox::AddString(const char* text) { return AddText(m_hWnd, CB_ADDSTRING, text); }

int CComboBox::DeleteString(UINT index) { return static_cast<int>(Send(m_hWnd, CB_DELETESTRING, index)); }

int CComboBox::GetCount() const { return static_cast<int>(Send(m_hWnd, CB_GETCOUNT)); }

int CComboBox::SetCurSel(int index) {
    return static_cast<int>(Send(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(index)));
}

int CComboBox::GetCurSel() const { return static_cast<int>(Send(m_hWnd, CB_GETCURSEL)); }

int CComboBox::GetLBText(int index, CString& text) const {
    return ItemText(m_hWnd, CB_GETLBTEXTLEN, CB_GETLBTEXT, index, text);
}

int CButton::GetCheck() const { return static_cast<int>(Send(m_hWnd, BM_GETCHECK)); }

void CButton::SetCheck(int check) { Send(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(check)); }
