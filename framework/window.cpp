#include "framework/window.h"

#include "framework/backend.h"
#include "framework/menu.h"
#include "framework/win_app.h"

CWnd::CWnd() = default;

CWnd::~CWnd() = default;

LRESULT CWnd::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const CurrentMessage outer = m_currentMessage;
    m_currentMessage = {message, wParam, lParam};
    const LRESULT result = WindowProc(message, wParam, lParam);
    m_currentMessage = outer;
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (DispatchMessageMap(message, wParam, lParam, result)) return result;
    // Commands nobody in the window handled go on to the application.
    if (message == WM_COMMAND) {
        CWinApp* app = AfxGetApp();
        if (app != nullptr && app->DispatchMessageMap(message, wParam, lParam, result)) return result;
    }
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_currentMessage.message, m_currentMessage.wParam, m_currentMessage.lParam);
}

void CWnd::DoDataExchange(CDataExchange*) {}

bool CWnd::UpdateData(bool saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return true;
}

void CWnd::AttachChild(int id, CWnd* control) {
    std::lock_guard lock(m_childrenMutex);
    m_boundChildren[id] = control;
}

void CWnd::DetachAllChildren() {
    std::lock_guard lock(m_childrenMutex);
    for (auto& [id, control] : m_boundChildren) control->m_hWnd = nullptr;
    m_boundChildren.clear();
    m_wrappedChildren.clear();
}

CWnd* CWnd::GetDlgItem(int id) {
    std::lock_guard lock(m_childrenMutex);
    if (auto bound = m_boundChildren.find(id); bound != m_boundChildren.end()) return bound->second;
    HWND child = framework::backend::FindChildWindow(m_hWnd, id);
    if (child == nullptr) return nullptr;
    std::unique_ptr<CWnd>& wrapper = m_wrappedChildren[id];
    if (!wrapper) wrapper = std::make_unique<CWnd>();
    wrapper->m_hWnd = child;
    return wrapper.get();
}

CMenu* CWnd::GetSystemMenu(bool revert) {
    HMENU menu = SystemMenuHandle(revert);
    if (menu == nullptr) return nullptr;
    std::lock_guard lock(m_childrenMutex);
    if (!m_systemMenu) m_systemMenu = std::make_unique<CMenu>();
    m_systemMenu->m_hMenu = menu;
    return m_systemMenu.get();
}

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
    if (control.m_hWnd != nullptr) return;
    HWND child = framework::backend::FindChildWindow(exchange->m_pDlgWnd->m_hWnd, id);
    if (child == nullptr) return;
    control.m_hWnd = child;
    exchange->m_pDlgWnd->AttachChild(id, &control);
}
