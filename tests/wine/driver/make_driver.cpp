#include "tests/wine/driver/make_driver.h"

#include <atomic>
#include <set>

#include "res/resource_ids.h"
#include "tests/wine/driver/report_win32.h"

namespace {

using wine_test::ClassOf;
using wine_test::Report;
using wine_test::Utf8;
using wine_test::WindowText;

using wine_test::kRunLimitMilliseconds;
using wine_test::kShotLimitMilliseconds;
using wine_test::kTickMilliseconds;

constexpr UINT kDeviceChangeLimitMilliseconds = 5000;
constexpr int kLogList = IDC_LOG_LIST;
constexpr int kDriveCombo = IDC_DRIVE_COMBO;
constexpr int kInfoEdit = IDC_INFO_EDIT;
constexpr int kFirmwareText = IDC_FIRMWARE_TEXT;
constexpr int kMakeButton = IDC_MAKE_BUTTON;
constexpr int kMessageBoxText = 0xFFFF;
// The controls a make disables and enables again, in their order.
constexpr int kSwitchedControls[] = {IDC_DRIVE_COMBO, IDC_MAKE_BUTTON, IDC_ZIP_RADIO, IDC_HDD_RADIO,
                                     IDC_LABEL_EDIT};
constexpr const char* kCompletionLine = "Done. Total time spent = ";
constexpr int kExitCompleted = 0;
constexpr int kExitNotCompleted = 1;
constexpr int kExitTimedOut = 3;

enum class Stage { WaitingForDialog, Making, Screenshot, Closing };

struct Driver {
    MakePlan plan;
    DWORD runLimit = kRunLimitMilliseconds;
    MakeDriverLinks links;
    Stage stage = Stage::WaitingForDialog;
    DWORD startTick = 0;
    std::wstring syncFolder;
    DWORD shotAskedTick = 0;
    std::set<HWND> reportedBoxes;
    std::set<HWND> openBoxes;  // of the dialog's thread
    std::size_t boxCount = 0;
    bool confirmationSeen = false;
    HWND boxForRealClick = nullptr;  // whose No button the test is to click
    bool completionLineSeen = false;
    bool endedAtLastTick = false;
    int exitCode = kExitTimedOut;
};

Driver driver;
std::atomic<HWND> mainDialog{nullptr};

bool IsMainDialog(HWND window) { return GetDlgItem(window, kDriveCombo) != nullptr; }

bool IsMessageBox(HWND window) {
    return ClassOf(window) == "#32770" && !IsMainDialog(window) && GetDlgItem(window, kMessageBoxText) != nullptr;
}

std::string ControlStates() {
    std::string states;
    for (int id : kSwitchedControls) {
        const bool enabled = IsWindowEnabled(GetDlgItem(mainDialog.load(), id)) != FALSE;
        states += (states.empty() ? "" : " ") + std::to_string(id) + (enabled ? ":on" : ":off");
    }
    return states;
}

bool ControlsEnabled() {
    for (int id : kSwitchedControls) {
        if (!IsWindowEnabled(GetDlgItem(mainDialog.load(), id))) return false;
    }
    return true;
}

void Press(HWND box, int button) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

// A message box has come up: print it and answer it as the plan says.
void OnMessageBox(HWND box) {
    if (!driver.reportedBoxes.insert(box).second) return;
    ++driver.boxCount;
    Report("BOX", WindowText(box) + "|" + WindowText(GetDlgItem(box, kMessageBoxText)));
    Report("CONTROLS-AT-BOX", ControlStates());
    const bool confirmation = GetDlgItem(box, IDYES) != nullptr && GetDlgItem(box, IDNO) != nullptr;
    if (!confirmation) {
        Press(box, IDOK);
        return;
    }
    driver.confirmationSeen = true;
    switch (driver.plan.answer) {
    case ConfirmationAnswer::Yes:
        Press(box, IDYES);
        break;
    case ConfirmationAnswer::No:
        Press(box, IDNO);
        break;
    case ConfirmationAnswer::RealClick:
        // Its place is known once it is on the screen (see Tick).
        driver.boxForRealClick = box;
        break;
    }
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && IsMessageBox(window)) {
        driver.openBoxes.insert(window);
        OnMessageBox(window);
    } else if (code == HCBT_DESTROYWND && driver.openBoxes.erase(window) > 0) {
        driver.reportedBoxes.erase(window);  // the handle may come back for another box
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Every message sent to a window of the dialog's thread, the worker's
// cross-thread ones included, passes here before the window procedure.
LRESULT CALLBACK SentMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && (sent->message == LB_ADDSTRING || sent->message == LB_RESETCONTENT) &&
        GetDlgCtrlID(sent->hwnd) == kLogList && ClassOf(sent->hwnd) == "ListBox") {
        if (sent->message == LB_RESETCONTENT) {
            Report("LOG-CLEARED", "");
        } else {
            const std::string line = Utf8(reinterpret_cast<const wchar_t*>(sent->lParam));
            Report("LOG", "[" + line + "]");
            if (line.rfind(kCompletionLine, 0) == 0) driver.completionLineSeen = true;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Message boxes of other threads (the worker's) are not seen by the hook.
BOOL CALLBACK FindOtherBox(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && IsMessageBox(window)) OnMessageBox(window);
    return TRUE;
}

BOOL CALLBACK FindMainDialog(HWND window, LPARAM) {
    if (IsWindowVisible(window) && ClassOf(window) == "#32770" && IsMainDialog(window)) {
        mainDialog = window;
        return FALSE;
    }
    return TRUE;
}

void ReportStart(HWND dialog) {
    Report("TITLE", WindowText(dialog));
    Report("IDENT", WindowText(GetDlgItem(dialog, kInfoEdit)));
    Report("FIRMWARE", WindowText(GetDlgItem(dialog, kFirmwareText)));
    for (const std::string& entry :
         wine_test::Items(GetDlgItem(dialog, kDriveCombo), CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT)) {
        Report("DRIVE", "[" + entry + "]");
    }
    Report("CONTROLS-AT-START", ControlStates());
    Report("WINDOW", wine_test::ScreenRect(dialog));
    Report("MAKE-BUTTON", wine_test::ScreenCentre(GetDlgItem(dialog, kMakeButton)));
}

// The make has ended once the confirmation has been seen, no box of the
// dialog's thread is open and the controls are enabled again: on every path
// that re-enabling is the make's last act. Asked on two ticks in a row, so
// that a line posted just before the controls came back is in the log.
bool MakeEnded() {
    const bool ended = driver.confirmationSeen && driver.openBoxes.empty() && ControlsEnabled();
    const bool endedBefore = driver.endedAtLastTick;
    driver.endedAtLastTick = ended;
    return ended && endedBefore;
}

void ReportEnd(HWND dialog) {
    driver.exitCode = driver.completionLineSeen ? kExitCompleted : kExitNotCompleted;
    Report("MAKE-ENDED", driver.completionLineSeen ? "completed" : "not completed");
    Report("CONTROLS-AT-END", ControlStates());
    const std::vector<std::string> log =
        wine_test::Items(GetDlgItem(dialog, kLogList), LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
    Report("LOG-COUNT", std::to_string(log.size()));
    for (const std::string& line : log) Report("FINAL-LOG", "[" + line + "]");
    Report("BOX-COUNT", std::to_string(driver.boxCount));
    for (const std::string& line : driver.links.storeReport()) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool ShotTaken() {
    if (driver.syncFolder.empty()) return true;
    const std::string name = driver.plan.name;
    const std::wstring done = driver.syncFolder + L"\\" + std::wstring(name.begin(), name.end()) + L".done";
    if (GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    if (GetTickCount() - driver.shotAskedTick <= kShotLimitMilliseconds) return false;
    Report("SHOT-MISSED", name);
    return true;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (driver.stage != Stage::Closing && GetTickCount() - driver.startTick > driver.runLimit) {
        Report("TIMEOUT", "driver");
        ExitProcess(kExitTimedOut);
    }
    switch (driver.stage) {
    case Stage::WaitingForDialog: {
        EnumThreadWindows(GetCurrentThreadId(), &FindMainDialog, 0);
        const HWND dialog = mainDialog.load();
        if (dialog == nullptr) return;
        ReportStart(dialog);
        driver.links.forgetDiskCommands();
        Report("READY", driver.plan.name);
        if (driver.plan.clickMake) PostMessageW(GetDlgItem(dialog, kMakeButton), BM_CLICK, 0, 0);
        driver.stage = Stage::Making;
        break;
    }
    case Stage::Making:
        EnumWindows(&FindOtherBox, 0);
        if (driver.boxForRealClick != nullptr && IsWindowVisible(driver.boxForRealClick)) {
            Report("NO-BUTTON", wine_test::ScreenCentre(GetDlgItem(driver.boxForRealClick, IDNO)));
            driver.boxForRealClick = nullptr;
        }
        if (!MakeEnded()) return;
        ReportEnd(mainDialog.load());
        RedrawWindow(mainDialog.load(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        driver.shotAskedTick = GetTickCount();
        Report("SHOT", driver.plan.name + " " + wine_test::ScreenRect(mainDialog.load()));
        driver.stage = Stage::Screenshot;
        break;
    case Stage::Screenshot:
        if (!ShotTaken()) return;
        PostMessageW(mainDialog.load(), WM_SYSCOMMAND, SC_CLOSE, 0);
        driver.stage = Stage::Closing;
        break;
    case Stage::Closing:
        break;
    }
}

}  // namespace

void StartMakeDriver(const MakePlan& plan, MakeDriverLinks links) {
    driver.plan = plan;
    if (plan.runLimitMilliseconds != 0) driver.runLimit = plan.runLimitMilliseconds;
    driver.links = std::move(links);
    driver.startTick = GetTickCount();
    wchar_t folder[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"VORN_WINE_SYNC_DIR", folder, MAX_PATH) > 0) driver.syncFolder = folder;
    SetWindowsHookExW(WH_CBT, &CbtHook, nullptr, GetCurrentThreadId());
    SetWindowsHookExW(WH_CALLWNDPROC, &SentMessageHook, nullptr, GetCurrentThreadId());
    SetTimer(nullptr, 0, kTickMilliseconds, &Tick);
    Report("DRIVER", "started " + plan.name);
}

void SendDeviceChange(std::uint32_t event) {
    const HWND dialog = mainDialog.load();
    if (dialog == nullptr) return;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(dialog, WM_DEVICECHANGE, event, 0, SMTO_NORMAL, kDeviceChangeLimitMilliseconds, &result);
}

int MakeDriverExitCode() { return driver.exitCode; }
