#include "framework/dialog.h"

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parentWindow(parent) {}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) { return OnInitDialog() ? 1 : 0; }

const MessageMap* CDialog::GetMessageMap() const { return ThisMessageMap(); }

const MessageMap* CDialog::ThisMessageMap() {
    static constexpr MessageMapEntry entries[] = {
        msgmap::OnMessage<WM_INITDIALOG, &CDialog::HandleInitDialog>(),
        msgmap::OnCommand<static_cast<UINT>(IDOK), &CDialog::HandleOk>(),
        msgmap::OnCommand<static_cast<UINT>(IDCANCEL), &CDialog::HandleCancel>(),
    };
    static const MessageMap map{nullptr, entries};
    return &map;
}
