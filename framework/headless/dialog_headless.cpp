// Modal dialogs on in-memory windows: the dialog's thread runs its message
// queue until EndDialog; the owner window is disabled meanwhile.
#include "framework/dialog.h"
#include "framework/headless/window_system.h"
#include "framework/resource_data.h"
#include "framework/win_app.h"

using headless::detail::FindWindowRecord;
using headless::detail::Window;
using headless::detail::WindowsMutex;

namespace {

// The window a modal dialog disables while it runs: its parent, else the
// application's main window.
HWND OwnerWindow(const CDialog& dialog) {
    if (dialog.ParentWindow() != nullptr) return dialog.ParentWindow()->m_hWnd;
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd != nullptr && app->m_pMainWnd != &dialog) {
        return app->m_pMainWnd->m_hWnd;
    }
    return nullptr;
}

// Disables window; returns whether it was enabled before.
bool DisableWindow(HWND window) {
    std::lock_guard lock(WindowsMutex());
    Window* record = FindWindowRecord(window);
    if (record == nullptr) return false;
    const bool wasEnabled = (record->style & WS_DISABLED) == 0;
    record->style |= WS_DISABLED;
    return wasEnabled;
}

void EnableWindowRecord(HWND window) {
    std::lock_guard lock(WindowsMutex());
    if (Window* record = FindWindowRecord(window)) record->style &= ~WS_DISABLED;
}

}  // namespace

INT_PTR CDialog::DoModal() {
    const DialogTemplate* tmpl = FindDialogTemplate(m_templateId);
    if (tmpl == nullptr) return -1;
    const HWND owner = OwnerWindow(*this);
    m_hWnd = headless::detail::CreateDialogWindow(*tmpl, owner, this);
    const HWND dialog = m_hWnd;
    const bool ownerWasEnabled = owner != nullptr && DisableWindow(owner);

    SendMessage(WM_INITDIALOG, 0, 0);
    headless::Operator* op = headless::detail::CurrentOperator();
    if (op != nullptr) op->DialogOpened(dialog);
    headless::detail::RunModalLoop(dialog);

    INT_PTR result = IDCANCEL;
    {
        std::lock_guard lock(WindowsMutex());
        if (const Window* record = FindWindowRecord(dialog)) result = record->modalResult;
    }
    SendMessage(WM_DESTROY, 0, 0);
    headless::detail::DestroyWindowRecord(dialog);
    DetachAllChildren();
    m_hWnd = nullptr;
    if (ownerWasEnabled) EnableWindowRecord(owner);
    if (op != nullptr) op->DialogClosed(dialog, m_templateId, result);
    return result;
}

void CDialog::EndDialog(int result) {
    {
        std::lock_guard lock(WindowsMutex());
        Window* record = FindWindowRecord(m_hWnd);
        if (record == nullptr) return;
        record->modalEnded = true;
        record->modalResult = result;
    }
    // Wakes the loop if EndDialog came from another thread.
    headless::detail::Post(m_hWnd, 0, 0, 0);
}
