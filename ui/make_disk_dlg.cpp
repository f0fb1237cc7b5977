// The main dialog's construction, start-up and message routing.
#include "ui/make_disk_dlg.h"

#include "res/resource_ids.h"
#include "ui/operator_texts.h"

namespace {

using namespace texts;

constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 3;
// The firmware the program is made for; compiled in, never read from a device.
constexpr const char* kFirmwareVersion = "R4TQZX18";

}  // namespace

CMakeDiskDlg::CMakeDiskDlg(CWnd* parent) : CDialog(IDD_MAKEVORNDISK_DIALOG, parent) {
    if (CWinApp* app = AfxGetApp()) m_hIcon = app->LoadIcon(IDR_MAINFRAME);
}

CMakeDiskDlg::~CMakeDiskDlg() = default;

void CMakeDiskDlg::DoDataExchange(CDataExchange* exchange) {
    CDialog::DoDataExchange(exchange);
    DDX_Control(exchange, IDC_LOG_LIST, m_logList);
    DDX_Control(exchange, IDC_DRIVE_COMBO, m_driveCombo);
    DDX_Control(exchange, IDC_INFO_EDIT, m_infoEdit);
    DDX_Control(exchange, IDC_LABEL_EDIT, m_labelEdit);
    DDX_Control(exchange, IDC_ZIP_RADIO, m_zipRadio);
    DDX_Control(exchange, IDC_HDD_RADIO, m_hddRadio);
}

const MessageMap* CMakeDiskDlg::GetMessageMap() const {
    static constexpr MessageMapEntry entries[] = {
        msgmap::OnWmSysCommand<&CMakeDiskDlg::OnSysCommand>(),
        msgmap::OnWmPaint<&CMakeDiskDlg::OnPaint>(),
        msgmap::OnWmQueryDragIcon<&CMakeDiskDlg::OnQueryDragIcon>(),
        msgmap::OnCbnSelChange<IDC_DRIVE_COMBO, &CMakeDiskDlg::ShowDeviceInfo>(),
        msgmap::OnBnClicked<IDC_MAKE_BUTTON, &CMakeDiskDlg::OnMake>(),
        msgmap::OnMessage<WM_LOG_TEXT, &CMakeDiskDlg::OnLogText>(),
    };
    static const MessageMap map{CDialog::ThisMessageMap(), entries};
    return &map;
}

bool CMakeDiskDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* systemMenu = GetSystemMenu(false)) {
        CString aboutEntry;
        aboutEntry.LoadString(IDS_ABOUTBOX);
        if (!aboutEntry.IsEmpty()) {
            systemMenu->AppendMenu(MF_SEPARATOR);
            systemMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, aboutEntry);
        }
    }

    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);

    CString title;
    title.Format(kTitleFormat, kVersionMajor, kVersionMinor);
    SetWindowText(title);

    if (ScanDevices()) {
        m_driveCombo.SetCurSel(0);
        ShowDeviceInfo();
        EnableControls(true);
    } else {
        AfxMessageBox(kNoDeviceText, MB_OK);
        EnableControls(false);
    }

    m_zipRadio.SetCheck(BST_UNCHECKED);
    m_hddRadio.SetCheck(BST_CHECKED);

    AppendLog(m_logList, kInstructionSelect);
    AppendLog(m_logList, kInstructionMake);

    CString firmware;
    firmware.Format(kFirmwareFormat, kFirmwareVersion);
    if (CWnd* firmwareLine = GetDlgItem(IDC_FIRMWARE_TEXT)) firmwareLine->SetWindowText(firmware);
    return true;
}

LRESULT CMakeDiskDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // Any device arriving or leaving rescans the drives, unless a scan or a
    // make is under way.
    if (message == WM_DEVICECHANGE && !m_busy &&
        (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
        if (ScanDevices()) {
            ShowDeviceInfo();
            EnableControls(true);
        } else {
            AfxMessageBox(kNoDeviceText, MB_OK);
            EnableControls(false);
        }
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
