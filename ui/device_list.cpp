// The drive list and the identification line.
#include "res/resource_ids.h"
#include "ui/device_answers.h"
#include "ui/drive_roots.h"
#include "ui/make_disk_dlg.h"
#include "ui/operator_texts.h"

namespace {

using namespace texts;

constexpr const char* kEntryFormat = "%s ";

// The controls that EnableControls switches, in order.
constexpr UINT kSwitchedControls[] = {IDC_DRIVE_COMBO, IDC_MAKE_BUTTON, IDC_ZIP_RADIO, IDC_HDD_RADIO,
                                      IDC_LABEL_EDIT};

}  // namespace

bool CMakeDiskDlg::ScanDevices() {
    m_busy = true;
    EnableControls(false);

    const int oldCount = m_driveCombo.GetCount();
    for (int entry = 0; entry < oldCount; ++entry) {
        m_driveCombo.SetCurSel(0);
        m_driveCombo.DeleteString(0);
    }

    for (const std::string& root : ReadDriveRoots()) {
        if (!IsSelectableDrive(root)) continue;
        CString entry;
        entry.Format(kEntryFormat, root.c_str());
        m_driveCombo.AddString(entry);
    }

    const int count = m_driveCombo.GetCount();
    if (count <= 0) {
        m_driveCombo.SetCurSel(0);
    } else {
        int selection = 0;
        for (int entry = 0; entry < count; ++entry) {
            CString text;
            m_driveCombo.GetLBText(entry, text);
            if (text.Compare(m_selectedDrive) == 0) {
                selection = entry;
                break;
            }
        }
        m_driveCombo.SetCurSel(selection);
    }

    EnableControls(true);
    m_busy = false;
    return count > 0;
}

void CMakeDiskDlg::ShowDeviceInfo() {
    CString entry;
    m_driveCombo.GetLBText(m_driveCombo.GetCurSel(), entry);
    m_driveLetter = static_cast<unsigned char>(entry.GetAt(0));
    m_selectedDrive = entry;

    m_infoEdit.SetWindowText("");
    UpdateWindow();

    if (m_channel.Inquiry(static_cast<char>(m_driveLetter), m_response)) {
        AfxMessageBox(kInquiryFailedText, MB_OK);
        m_infoEdit.SetWindowText(kNoIdentificationText);
    } else {
        CString text;
        text.Format("%s", IdentificationText(m_response).c_str());
        m_infoEdit.SetWindowText(text);
    }
    UpdateWindow();
}

void CMakeDiskDlg::EnableControls(bool enable) {
    for (UINT id : kSwitchedControls) {
        if (CWnd* control = GetDlgItem(static_cast<int>(id))) control->EnableWindow(enable);
    }
    UpdateWindow();
}
