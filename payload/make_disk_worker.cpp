#include "payload/make_disk_worker.h"

#include <cstring>
#include <string>
#include <vector>

#include "payload/payload_check.h"
#include "payload/payload_table.h"
#include "platform/system_services.h"
#include "ui/drive_roots.h"
#include "ui/make_disk_dlg.h"
#include "ui/operator_texts.h"

namespace {

using namespace texts;

constexpr int kRestartAttempts = 3;
constexpr std::uint32_t kPollIntervalMs = 1000;
// The drive normally returns within a few seconds; a minute without it
// means it is not coming back under its letter.
constexpr int kMaxPolls = 60;
constexpr std::uint32_t kSettleMs = 1000;
constexpr std::uint32_t kBetweenFilesMs = 500;
constexpr double kSecondsPerTick = 0.001;

// True when the drive list offers letter again as a removable drive.
bool DriveIsBack(int letter) {
    for (const std::string& root : ReadDriveRoots()) {
        if (IsSelectableDrive(root) && root[0] == static_cast<char>(letter)) return true;
    }
    return false;
}

bool WaitForDrive(int letter) {
    platform::SystemServices& system = platform::Sys();
    for (int poll = 0; poll < kMaxPolls; ++poll) {
        system.Sleep(kPollIntervalMs);
        if (DriveIsBack(letter)) return true;
    }
    return false;
}

// Makes the system detect the disk afresh: the device restart, up to three
// attempts; where that is not had (a 32-bit program on 64-bit Windows is
// refused it, a vetoed or failed request leaves the disk as it was), the
// disk is told to read its partition table again, so that the volume the
// build dismounted comes back as the new one. Neither is reported: what the
// drive shows afterwards is checked before any file is written.
void DetectDiskAfresh(CMakeDiskDlg& dialog) {
    bool wow64 = false;
    platform::Sys().IsWow64Process(kCurrentProcess, &wow64);
    if (!wow64) {
        for (int attempt = 0; attempt < kRestartAttempts; ++attempt) {
            if (dialog.RestartDevice(dialog.m_deviceInstanceId) != 0) return;
        }
    }
    dialog.UpdateDiskProperties(dialog.m_deviceNumber);
}

// The phase failed: boxed, then logged.
void Fail(CMakeDiskDlg& dialog, MakePhase phase, const CString& text) {
    dialog.m_lastMake.Fail(phase);
    AfxMessageBox(text, MB_OK);
    dialog.AppendLog(dialog.m_logList, text);
}

// The make is over: the controls come back before the busy flag clears, so
// that once the dialog may close, nothing here touches it any more.
void EndMake(CMakeDiskDlg& dialog) {
    dialog.EnableControls(true);
    dialog.m_busy = false;
}

}  // namespace

char* CopyToHeap(CString text) {
    const std::size_t length = static_cast<std::size_t>(text.GetLength());
    char* copy = new char[length + 1];
    std::memcpy(copy, static_cast<const char*>(text), length + 1);
    return copy;
}

UINT MakeDiskWorker(LPVOID parameter) {
    CMakeDiskDlg& dialog = *static_cast<CMakeDiskDlg*>(parameter);
    platform::SystemServices& system = platform::Sys();

    DetectDiskAfresh(dialog);

    if (!WaitForDrive(dialog.m_driveLetter)) {
        Fail(dialog, MakePhase::kDriveBack, kDeviceLostText);
        EndMake(dialog);
        return 1;
    }
    system.Sleep(kSettleMs);

    // Files written through the file system mounted before the build would
    // be placed by the old layout, over the new one.
    const char letter = static_cast<char>(dialog.m_driveLetter);
    if (!ShowsBuiltVolume(letter, dialog.m_volumeLabel)) {
        Fail(dialog, MakePhase::kRemount, kNotRemountedText);
        EndMake(dialog);
        return 1;
    }

    std::vector<unsigned> written;
    for (std::size_t index = 0; index < kPayloadFiles.size(); ++index) {
        if (index > 0) system.Sleep(kBetweenFilesMs);
        if (dialog.InstallPayloadFile(kPayloadFiles[index].typeName, kPayloadFiles[index].id)) {
            written.push_back(kPayloadFiles[index].id);
        }
    }
    // A file that failed has said so already; the written ones are read
    // back from the root directory.
    for (const std::string& name : PayloadDifferences(letter, written)) {
        CString line;
        line.Format(kFileCheckFormat, name.c_str());
        Fail(dialog, MakePhase::kPayload, line);
    }

    const std::int32_t now = system.clock();
    dialog.m_endClock = now;
    dialog.m_elapsedSeconds = static_cast<double>(now - dialog.m_startClock) * kSecondsPerTick;
    CString line;
    line.Format(kDoneFormat, dialog.m_elapsedSeconds);
    char* text = CopyToHeap(line);
    // A text the dialog never receives is not the dialog's to free.
    if (!dialog.PostMessage(WM_LOG_TEXT, kLogTextWParam, reinterpret_cast<LPARAM>(text))) delete[] text;
    dialog.m_lastMake.Complete();
    EndMake(dialog);
    return 1;
}
