// The headless window system: in-memory dialogs and controls built from the
// program's dialog templates, one message queue per thread that owns
// windows, and message boxes answered by an operator object. This header is
// what a test or the command line uses to watch the windows and to act as
// the operator would.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "framework/win_defs.h"

namespace headless {

struct MessageBoxRequest {
    std::string text;
    std::string caption;
    UINT type;
};

// Answers the message boxes and may act on each modal dialog that opens.
class Operator {
public:
    virtual ~Operator() = default;
    // Called on the thread that shows the box (the dialog's thread or a
    // worker); returns the button pressed: IDOK, IDCANCEL, IDYES or IDNO.
    virtual int AnswerMessageBox(const MessageBoxRequest& box) = 0;
    // Called on the dialog's thread after OnInitDialog, before its loop runs.
    virtual void DialogOpened(HWND dialog) { (void)dialog; }
    // Called on the dialog's thread when DoModal returns.
    virtual void DialogClosed(HWND dialog, UINT templateId, INT_PTR result) {
        (void)dialog, (void)templateId, (void)result;
    }
    // Called on the changing thread, outside the window system's lock, after
    // a line was added to a list box or a combo box's list (addedText set)
    // and after a list box was emptied (addedText null). Lets a console
    // operator show the log as it grows.
    virtual void ListChanged(HWND list, const std::string* addedText) { (void)list, (void)addedText; }
};

// The operator in force (the caller keeps ownership). Without one, boxes
// with an OK button are answered OK and any other box No (or Cancel).
void SetOperator(Operator* op);

struct MenuItem {
    UINT flags;  // MF_STRING or MF_SEPARATOR
    UINT_PTR commandId;
    std::string text;
};

struct DrawnIcon {
    int x;
    int y;
    HICON icon;
};

// Looking at windows; callable from any thread. Unknown handles give empty
// or zero results.
bool IsWindow(HWND window);
HWND FindDialog(UINT templateId);
// Waits until a dialog made from templateId exists; null on time-out.
HWND WaitForDialog(UINT templateId, std::chrono::milliseconds timeout);
HWND DialogItem(HWND dialog, int id);
std::string WindowText(HWND window);
bool IsWindowEnabled(HWND window);
bool IsWindowVisible(HWND window);
std::vector<std::string> ListItems(HWND listOrCombo);
int CurrentSelection(HWND combo);
int CheckState(HWND button);
UINT StaticIconId(HWND iconStatic);
HICON WindowIcon(HWND window, bool bigIcon);
std::vector<MenuItem> SystemMenuItems(HWND window);
std::vector<DrawnIcon> DrawnIcons(HWND window);

// Acting as the operator. Each posts what the window system would post and
// returns false, doing nothing, when a real operator could not do it: the
// control is missing, hidden or disabled, or its dialog is disabled.
bool ClickButton(HWND dialog, int id);
bool SelectComboEntry(HWND dialog, int id, int index);
// Chooses an entry of the dialog's system menu (WM_SYSCOMMAND).
bool ChooseSystemMenuItem(HWND dialog, UINT_PTR commandId);
// The close box (SC_CLOSE).
bool CloseDialog(HWND dialog);

// The window system itself: minimising, sizing, device events.
void SetIconic(HWND window, bool iconic);
void SetClientSize(HWND window, int width, int height);
// Posts WM_DEVICECHANGE with event to every top-level window.
void BroadcastDeviceChange(UINT event);

// Waits until the thread that owns window has no message left and waits in
// its message loop; false on time-out.
bool WaitUntilIdle(HWND window, std::chrono::milliseconds timeout);

}  // namespace headless
