// Message boxes of the window system, owned by the application's main
// window while it exists.
#include "framework/win32/windows_include.h"

#include "framework/backend.h"
#include "framework/message_box.h"
#include "framework/win32/text_win32.h"
#include "framework/win_app.h"
#include "framework/window.h"

int AfxMessageBox(const char* text, UINT type, UINT) {
    CWinApp* app = AfxGetApp();
    const std::string caption = app != nullptr ? app->AppName() : framework::backend::DefaultApplicationName();
    HWND owner = nullptr;
    if (app != nullptr && app->m_pMainWnd != nullptr && ::IsWindow(app->m_pMainWnd->m_hWnd)) {
        owner = app->m_pMainWnd->m_hWnd;
    }
    return ::MessageBoxW(owner, Utf8ToWide(text).c_str(), Utf8ToWide(caption.c_str()).c_str(), type);
}
