// The main dialog's system menu, its icon while minimised and its drag icon.
#include "app/about_dlg.h"
#include "ui/make_disk_dlg.h"

void CMakeDiskDlg::OnSysCommand(UINT commandId, LPARAM) {
    // The low four bits of a system command are the system's own.
    if ((commandId & 0xFFF0u) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        Default();
    }
}

void CMakeDiskDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC context(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(context.GetSafeHdc()), 0);
    const int iconWidth = framework::GetSystemMetrics(SM_CXICON);
    const int iconHeight = framework::GetSystemMetrics(SM_CYICON);
    CRect client;
    GetClientRect(&client);
    const int x = (client.Width() - iconWidth + 1) / 2;
    const int y = (client.Height() - iconHeight + 1) / 2;
    context.DrawIcon(x, y, m_hIcon);
}

HICON CMakeDiskDlg::OnQueryDragIcon() { return m_hIcon; }
