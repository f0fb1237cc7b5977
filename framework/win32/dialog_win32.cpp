// Modal dialogs from the compiled templates. The dialog manager runs the
// modal loop; the framework's window procedure stands in front of the
// dialog class's own, so that WindowProc and the message map see every
// message from WM_INITDIALOG on and Default() reaches the dialog manager.
#include "framework/win32/windows_include.h"

#include "framework/dialog.h"
#include "framework/win_app.h"

namespace {

const wchar_t* const kWindowObjectProperty = L"MakeVORNDisk.CWnd";

CWnd* WindowObject(HWND window) { return static_cast<CWnd*>(::GetPropW(window, kWindowObjectProperty)); }

LRESULT CALLBACK FrameworkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* object = WindowObject(window);
    if (object == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message != WM_NCDESTROY) return object->RouteMessage(message, wParam, lParam);

    // The window's last message: hand it back to the dialog class and let go.
    auto previous = reinterpret_cast<WNDPROC>(object->m_defaultWindowProc);
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    ::RemovePropW(window, kWindowObjectProperty);
    const LRESULT result = ::CallWindowProcW(previous, window, message, wParam, lParam);
    object->DetachAllChildren();
    object->m_defaultWindowProc = nullptr;
    object->m_hWnd = nullptr;
    return result;
}

INT_PTR CALLBACK FrameworkDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG || WindowObject(window) != nullptr) return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->m_hWnd = window;
    ::SetPropW(window, kWindowObjectProperty, dialog);
    dialog->m_defaultWindowProc = reinterpret_cast<void*>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameworkWindowProc)));
    return dialog->RouteMessage(WM_INITDIALOG, wParam, 0) != 0 ? TRUE : FALSE;
}

HWND OwnerWindow(const CDialog& dialog) {
    if (dialog.ParentWindow() != nullptr) return dialog.ParentWindow()->m_hWnd;
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd != nullptr && app->m_pMainWnd != &dialog) {
        return app->m_pMainWnd->m_hWnd;
    }
    return nullptr;
}

}  // namespace

INT_PTR CDialog::DoModal() {
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), OwnerWindow(*this),
                             &FrameworkDialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }
