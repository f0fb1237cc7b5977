#include "tests/wine/driver/wine_test_driver.h"

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "res/resource_ids.h"
#include "tests/wine/driver/report_win32.h"

namespace {

using wine_test::ClassOf;
using wine_test::Items;
using wine_test::Report;
using wine_test::Utf8;
using wine_test::WindowText;

using wine_test::kRunLimitMilliseconds;
using wine_test::kShotLimitMilliseconds;
using wine_test::kTickMilliseconds;

constexpr int kDriveCombo = IDC_DRIVE_COMBO;
constexpr int kInfoEdit = IDC_INFO_EDIT;
constexpr int kMakeButton = IDC_MAKE_BUTTON;
constexpr int kLogList = IDC_LOG_LIST;
constexpr int kFirmwareText = IDC_FIRMWARE_TEXT;
constexpr int kStaticId = 0xFFFF;
constexpr int kExitTimedOut = 3;

enum class Stage { Starting, MainReported, AboutRequested, AboutReported, AboutClosing, Closing };

struct Driver {
    Stage stage = Stage::Starting;
    DWORD startTick = 0;
    std::string pendingShot;  // screenshot asked for, not yet taken
    DWORD shotAskedTick = 0;
    std::set<HWND> answeredBoxes;
    HWND mainDialog = nullptr;
    HWND aboutBox = nullptr;
    std::wstring syncFolder;
};

Driver driver;

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> ThreadDialogs() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&windows));
    std::vector<HWND> dialogs;
    for (HWND window : windows) {
        if (ClassOf(window) == "#32770") dialogs.push_back(window);
    }
    return dialogs;
}

bool IsMessageBox(HWND dialog) {
    HWND text = GetDlgItem(dialog, kStaticId);
    if (GetDlgItem(dialog, kDriveCombo) != nullptr || text == nullptr) return false;
    return (GetWindowLongW(text, GWL_STYLE) & SS_TYPEMASK) != SS_ICON;
}

// Asks the test for a screenshot; the run goes on once it is taken.
void AskForShot(HWND window, const std::string& name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    driver.pendingShot = name;
    driver.shotAskedTick = GetTickCount();
    Report("SHOT", name);
}

bool ShotTaken() {
    if (driver.pendingShot.empty()) return true;
    const std::wstring done = driver.syncFolder + L"\\" +
                              std::wstring(driver.pendingShot.begin(), driver.pendingShot.end()) + L".done";
    const bool taken = driver.syncFolder.empty() || GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (taken || GetTickCount() - driver.shotAskedTick > kShotLimitMilliseconds) {
        if (!taken) Report("SHOT-MISSED", driver.pendingShot);
        driver.pendingShot.clear();
        return true;
    }
    return false;
}

void ReportMainDialog(HWND dialog) {
    Report("TITLE", WindowText(dialog));
    Report("FIRMWARE", WindowText(GetDlgItem(dialog, kFirmwareText)));
    Report("IDENT", WindowText(GetDlgItem(dialog, kInfoEdit)));
    for (const std::string& entry :
         Items(GetDlgItem(dialog, kDriveCombo), CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT)) {
        Report("DRIVE", "[" + entry + "]");
    }
    for (const std::string& line : Items(GetDlgItem(dialog, kLogList), LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT)) {
        Report("LOG", "[" + line + "]");
    }
    Report("MAKE-ENABLED", IsWindowEnabled(GetDlgItem(dialog, kMakeButton)) ? "1" : "0");
    HMENU menu = GetSystemMenu(dialog, FALSE);
    const int count = GetMenuItemCount(menu);
    for (int index = 0; index < count; ++index) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_ID;
        GetMenuItemInfoW(menu, static_cast<UINT>(index), TRUE, &item);
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(index), text, 128, MF_BYPOSITION);
        const bool separator = (item.fType & MFT_SEPARATOR) != 0;
        Report("SYSMENU", separator ? std::string("separator") : std::to_string(item.wID) + " " + Utf8(text));
    }
}

void ReportAboutBox(HWND about) {
    Report("ABOUT", WindowText(about));
    for (HWND child = GetWindow(about, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::string kind = ClassOf(child);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (kind == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
            Report("ABOUT-ICON", SendMessageW(child, STM_GETICON, 0, 0) != 0 ? "shown" : "missing");
        } else {
            Report("ABOUT-CONTROL", std::to_string(GetDlgCtrlID(child)) + " " + WindowText(child));
        }
    }
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (GetTickCount() - driver.startTick > kRunLimitMilliseconds) {
        Report("TIMEOUT", "driver");
        ExitProcess(kExitTimedOut);
    }
    if (!ShotTaken()) return;

    const std::vector<HWND> dialogs = ThreadDialogs();
    for (HWND dialog : dialogs) {
        if (!IsMessageBox(dialog)) continue;
        if (driver.answeredBoxes.insert(dialog).second) {
            Report("BOX", WindowText(dialog) + "|" + WindowText(GetDlgItem(dialog, kStaticId)));
            AskForShot(dialog, "box");
        } else {
            SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        }
        return;
    }

    switch (driver.stage) {
    case Stage::Starting:
        for (HWND dialog : dialogs) {
            if (GetDlgItem(dialog, kDriveCombo) == nullptr) continue;
            driver.mainDialog = dialog;
            ReportMainDialog(dialog);
            AskForShot(dialog, "main");
            driver.stage = Stage::MainReported;
        }
        break;
    case Stage::MainReported: {
        // Choosing the last entry of the system menu.
        HMENU menu = GetSystemMenu(driver.mainDialog, FALSE);
        const UINT last = GetMenuItemID(menu, GetMenuItemCount(menu) - 1);
        PostMessageW(driver.mainDialog, WM_SYSCOMMAND, last, 0);
        driver.stage = Stage::AboutRequested;
        break;
    }
    case Stage::AboutRequested:
        for (HWND dialog : dialogs) {
            if (dialog == driver.mainDialog) continue;
            driver.aboutBox = dialog;
            Report("MAIN-ENABLED-DURING-ABOUT", IsWindowEnabled(driver.mainDialog) ? "1" : "0");
            ReportAboutBox(dialog);
            AskForShot(dialog, "about");
            driver.stage = Stage::AboutReported;
        }
        break;
    case Stage::AboutReported:
        SendMessageW(GetDlgItem(driver.aboutBox, IDOK), BM_CLICK, 0, 0);
        driver.stage = Stage::AboutClosing;
        break;
    case Stage::AboutClosing:
        if (!IsWindow(driver.aboutBox)) {
            Report("ABOUT-CLOSED", IsWindowEnabled(driver.mainDialog) ? "main enabled" : "main disabled");
            PostMessageW(driver.mainDialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            driver.stage = Stage::Closing;
        }
        break;
    case Stage::Closing:
        break;
    }
}

}  // namespace

void StartWineTestDriver() {
    driver.startTick = GetTickCount();
    wchar_t folder[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"VORN_WINE_SYNC_DIR", folder, MAX_PATH) > 0) driver.syncFolder = folder;
    SetTimer(nullptr, 0, kTickMilliseconds, &Tick);
    Report("DRIVER", "started");
}
