// The main dialog: the drive list, the selected drive's SCSI identification,
// the firmware line and the log. The dialog object also carries what a make
// shares between the dialog's thread and the completion worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "device/scsi_channel.h"
#include "framework/framework.h"
#include "ui/make_result.h"

// The private message that adds a log line from another thread: wParam is
// ignored, lParam a NUL-terminated text allocated with new[]; the dialog
// appends it and frees it.
inline constexpr UINT WM_LOG_TEXT = WM_USER + 0x100;
// The wParam the worker sends with WM_LOG_TEXT.
inline constexpr WPARAM kLogTextWParam = 5;
// The command of the About entry in the system menu.
inline constexpr UINT IDM_ABOUTBOX = 0x0010;

inline constexpr std::size_t kDeviceInstanceIdLength = 260;
inline constexpr std::size_t kResponseBufferLength = 1024;

class CMakeDiskDlg : public CDialog {
public:
    explicit CMakeDiskDlg(CWnd* parent = nullptr);
    ~CMakeDiskDlg() override;

    // Rebuilds the drive list from the removable drives and reselects the
    // drive shown last; true when the list has entries.
    bool ScanDevices();
    // Shows the selected drive's identification (the drive list's
    // selection-change handler).
    void ShowDeviceInfo();
    // Enables or disables the drive list, the Make button, the radio
    // buttons and the label edit, then repaints.
    void EnableControls(bool enable);
    // Appends text and a line end to list (the log).
    void AppendLog(CListBox& list, CString text);
    void ClearLog(CListBox& list);
    // WM_LOG_TEXT.
    LRESULT OnLogText(WPARAM wParam, LPARAM lParam);

    // The Make button.
    void OnMake();

    // Device identity and payload installation (completion worker).
    bool QueryDeviceInstanceId();
    int ReadRegistryString(platform::RegKey root, const char* keyPath, const char* valueName, char* buffer,
                           std::uint32_t bufferSize);
    int RestartDevice(const char* deviceInstanceId);
    // Makes the system read the partition table of the physical disk with
    // that device number again (IOCTL_DISK_UPDATE_PROPERTIES); true when it
    // took the request.
    bool UpdateDiskProperties(std::uint32_t deviceNumber);
    bool InstallPayloadFile(CString typeName, unsigned id);

    int m_driveLetter = 0;
    std::atomic<bool> m_busy{false};
    // What the last make came to (the command line's exit code).
    MakeResult m_lastMake;
    CString m_selectedDrive;
    char m_deviceInstanceId[kDeviceInstanceIdLength] = {};
    // The disk's device number (\\.\PhysicalDriveN), found with its ID.
    std::uint32_t m_deviceNumber = 0;
    // The volume label the build wrote, which the drive must show again
    // before the worker writes a file.
    std::string m_volumeLabel;
    std::int32_t m_phaseClock = 0;
    std::int32_t m_startClock = 0;
    std::int32_t m_endClock = 0;
    double m_elapsedSeconds = 0.0;
    CButton m_zipRadio;
    CButton m_hddRadio;
    CListBox m_logList;
    CComboBox m_driveCombo;
    CEdit m_infoEdit;
    CEdit m_labelEdit;
    HICON m_hIcon = nullptr;
    CScsiChannel m_channel;
    std::uint8_t m_response[kResponseBufferLength] = {};

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;
    // Refused while a make runs (the worker uses the dialog until it ends).
    void OnOK() override;
    void OnCancel() override;

    void OnSysCommand(UINT commandId, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon();

    const MessageMap* GetMessageMap() const override;
};
