// The Make button: the first half of a make on the dialog's thread, from the
// operator's confirmation to the start of the completion worker. Every
// failure is boxed, then logged, and returns the dialog to idle.
#include <algorithm>
#include <cstdint>

#include "device/scsi_constants.h"
#include "fatdisk/fat_disk_builder.h"
#include "platform/system_services.h"
#include "payload/make_disk_worker.h"
#include "ui/device_answers.h"
#include "ui/make_disk_dlg.h"
#include "ui/operator_texts.h"

namespace {

using namespace texts;

constexpr const char* kZipLabel = "USBZIPBOOT";
constexpr const char* kHddLabel = "USBHDDBOOT";

constexpr double kSecondsPerTick = 0.001;

}  // namespace

void CMakeDiskDlg::OnMake() {
    EnableControls(false);
    m_busy = true;
    m_lastMake.Start();
    ClearLog(m_logList);

    platform::SystemServices& system = platform::Sys();
    auto giveUp = [this] {
        m_busy = false;
        EnableControls(true);
        UpdateWindow();
    };
    // The phase failed: box, then log, then back to idle.
    auto fail = [this, &giveUp](MakePhase phase, const CString& box, const CString& log) {
        m_lastMake.Fail(phase);
        AfxMessageBox(box, MB_OK);
        AppendLog(m_logList, log);
        giveUp();
    };

    // With the combo box's text edited, no entry is selected: there is no
    // drive to make.
    const int selection = m_driveCombo.GetCurSel();
    CString entry;
    if (selection == CB_ERR || m_driveCombo.GetLBText(selection, entry) == CB_ERR || entry.IsEmpty()) {
        AfxMessageBox(kNoDeviceSelectedText, MB_OK);
        giveUp();
        return;
    }
    m_driveLetter = static_cast<unsigned char>(entry.GetAt(0));

    CString message;
    message.Format(kConfirmFormat, static_cast<const char*>(entry));
    if (AfxMessageBox(message, MB_YESNO) == IDNO) {
        giveUp();
        return;
    }

    std::fill(m_response, m_response + scsi::kReadCapacityDataLength, std::uint8_t{0});
    if (m_channel.ReadCapacity(static_cast<char>(m_driveLetter), m_response)) {
        fail(MakePhase::kCapacity, kCapacityCommandFailedText, kCapacityFailedLogText);
        return;
    }
    const Capacity capacity = DecodeCapacity(m_response);
    const std::uint32_t totalSectors = capacity.totalSectors;
    message.Format(kTotalSectorFormat, static_cast<const char*>(entry), totalSectors);
    AppendLog(m_logList, message);
    if (totalSectors == 0) {
        fail(MakePhase::kCapacity, kZeroCapacityText, kZeroCapacityLogText);
        return;
    }
    // The layout is made of 512-byte sectors; on any other sector size it
    // would be garbage.
    if (capacity.blockLength != scsi::kSectorSize) {
        fail(MakePhase::kCapacity, kSectorSizeText, kSectorSizeText);
        return;
    }

    CFatDiskBuilder builder(static_cast<char>(m_driveLetter));
    builder.m_layoutMode = 0;
    const char* label = m_zipRadio.GetCheck() != BST_UNCHECKED ? kZipLabel : kHddLabel;
    m_volumeLabel = label;

    m_startClock = system.clock();
    m_phaseClock = system.clock();
    if (!builder.Setup(totalSectors, label, true)) {
        message.Format(kBuildFailedFormat, builder.m_errorText.c_str());
        fail(MakePhase::kBuild, message, message);
        return;
    }
    m_endClock = system.clock();
    m_elapsedSeconds = static_cast<double>(m_endClock - m_phaseClock) * kSecondsPerTick;
    message.Format(kBuildTimeFormat, m_elapsedSeconds);
    AppendLog(m_logList, message);

    m_phaseClock = system.clock();
    CString readBackLabel;
    m_labelEdit.GetWindowText(readBackLabel);
    builder.Setup(totalSectors, readBackLabel.Text(), false);
    if (!builder.VerifyDisk()) {
        message.Format(kCompareFailedFormat, builder.m_errorText.c_str());
        fail(MakePhase::kReadBack, message, message);
        return;
    }
    m_endClock = system.clock();
    m_elapsedSeconds = static_cast<double>(m_endClock - m_phaseClock) * kSecondsPerTick;
    message.Format(kCompareTimeFormat, m_elapsedSeconds);
    AppendLog(m_logList, message);

    if (!QueryDeviceInstanceId()) {
        fail(MakePhase::kDeviceIdentity, kDiskIdFailedText, kDiskIdFailedText);
        return;
    }

    // The worker clears m_busy and enables the controls when it ends.
    AfxBeginThread(MakeDiskWorker, this, THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
}

// Closing the dialog while a make runs would leave the worker with a
// destroyed dialog: the close box, Esc and Enter are refused until it ends.
void CMakeDiskDlg::OnCancel() {
    if (m_busy) {
        AfxMessageBox(kBusyText, MB_OK);
        return;
    }
    CDialog::OnCancel();
}

void CMakeDiskDlg::OnOK() {
    if (m_busy) {
        AfxMessageBox(kBusyText, MB_OK);
        return;
    }
    CDialog::OnOK();
}
