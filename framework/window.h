// Windows of the dialog framework: CWnd wraps one window handle and routes
// the window's messages through WindowProc and the message map; controls
// of a dialog are reached with GetDlgItem or bound to members with
// DDX_Control.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "framework/cstring.h"
#include "framework/message_map.h"
#include "framework/win_defs.h"

class CMenu;
class CDataExchange;

struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    void SetWindowText(const char* text);
    void GetWindowText(CString& text) const;
    // Returns whether the window was disabled before.
    bool EnableWindow(bool enable = true);
    bool IsWindowEnabled() const;
    // Repaints the window at once if any part of it is invalid.
    void UpdateWindow();
    void Invalidate(bool erase = true);
    bool IsIconic() const;
    void GetClientRect(CRect* rect) const;
    // Big (true) or small (false) icon of the window; returns the previous one.
    HICON SetIcon(HICON icon, bool bigIcon);
    // The window's system menu; null when it has none.
    CMenu* GetSystemMenu(bool revert);

    // The child control with this id: the member bound to it by DDX_Control,
    // else a wrapper the window keeps; null when there is no such control.
    CWnd* GetDlgItem(int id);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Data exchange with the controls: DoDataExchange with the direction.
    bool UpdateData(bool saveAndValidate = true);

    HWND m_hWnd = nullptr;

    // Window-system side of the framework (the backends), not for the dialogs.
    void AttachChild(int id, CWnd* control);
    void DetachAllChildren();
    LRESULT RouteMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void* m_defaultWindowProc = nullptr;  // win32: the procedure behind the framework's

protected:
    // Every message of the window comes here: the message map, then the
    // default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void DoDataExchange(CDataExchange* exchange);
    // The default processing of the message being handled.
    LRESULT Default();
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    HMENU SystemMenuHandle(bool revert);

    struct CurrentMessage {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };
    CurrentMessage m_currentMessage;

    std::mutex m_childrenMutex;
    std::map<int, CWnd*> m_boundChildren;
    std::map<int, std::unique_ptr<CWnd>> m_wrappedChildren;
    std::unique_ptr<CMenu> m_systemMenu;
};

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, bool saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* m_pDlgWnd;
    bool m_bSaveAndValidate;
};

// Binds control to the dialog's child with id (once; later calls keep it).
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);
