#include "app/make_disk_app.h"

#include "ui/make_disk_dlg.h"

// The one application object. It names no application, so message boxes
// carry the program's file name.
CMakeDiskApp theApp;

CMakeDiskApp::CMakeDiskApp() = default;

const MessageMap* CMakeDiskApp::GetMessageMap() const {
    static constexpr MessageMapEntry entries[] = {
        msgmap::OnCommand<ID_HELP, &CWinApp::OnHelp>(),
    };
    static const MessageMap map{nullptr, entries};
    return &map;
}

bool CMakeDiskApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControls();

    CMakeDiskDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return false;
}
