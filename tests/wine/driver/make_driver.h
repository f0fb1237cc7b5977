// The test mode of the Windows program under Wine, for whole makes: it
// waits for the main dialog, clicks Make (or lets a real click do it),
// answers the confirmation through a CBT hook, and ends the program once the
// make has ended and the screenshot is taken. Every log line (seen through a
// WH_CALLWNDPROC hook on the list box) and every message box is printed on
// stdout as it happens. The simulated-PC program and the real program of the
// Wine guest both run it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Who answers the confirmation box.
enum class ConfirmationAnswer { Yes, No, RealClick };

// One make: its name (in the report and the screenshot's file name), whether
// the driver clicks Make (false: a real click does), who answers the
// confirmation, and how long the whole run may take (0: the drivers' limit).
struct MakePlan {
    std::string name;
    bool clickMake = true;
    ConfirmationAnswer answer = ConfirmationAnswer::Yes;
    std::uint32_t runLimitMilliseconds = 0;
};

struct MakeDriverLinks {
    std::function<void()> forgetDiskCommands;
    std::function<std::vector<std::string>()> storeReport;
};

// Installs the hooks and the timer on the calling thread, which must be the
// one that then runs the dialog.
void StartMakeDriver(const MakePlan& plan, MakeDriverLinks links);
// Sends WM_DEVICECHANGE with event to the main dialog once it is open, as
// the system's broadcast does: the caller waits until the dialog's thread
// has handled it (at most a few seconds). Any thread but the dialog's.
void SendDeviceChange(std::uint32_t event);
// 0 when the make completed (its completion line is in the log), 1 when it
// ended without completing, 3 when the driver gave up waiting.
int MakeDriverExitCode();
