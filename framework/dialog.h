// Modal dialogs made from a dialog template of the program's resources.
#pragma once

#include "framework/window.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Creates the dialog from its template, runs it until EndDialog and
    // destroys it; returns the EndDialog result, or -1 when the dialog could
    // not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int result);

    // After the controls exist: binds them (UpdateData(false)); true lets the
    // system set the focus.
    virtual bool OnInitDialog();

    CWnd* ParentWindow() const { return m_parentWindow; }

protected:
    // The OK and Cancel commands (buttons IDOK and IDCANCEL, Esc, close box).
    virtual void OnOK();
    virtual void OnCancel();

    const MessageMap* GetMessageMap() const override;
    static const MessageMap* ThisMessageMap();

private:
    LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
    void HandleOk() { OnOK(); }
    void HandleCancel() { OnCancel(); }

    UINT m_templateId;
    CWnd* m_parentWindow;
};
