// The Windows program's entry point: the real system services, then the
// application object's InitInstance. The program takes nothing from its
// command line (only its Wine-guest test variant does: the test mode).
#include "framework/win32/windows_include.h"

#include "framework/win_app.h"
#include "framework/win_defs.h"
#include "win32/win32_system.h"

#ifdef VORN_WINE_TEST_DRIVER
#include "tests/wine/driver/wine_test_driver.h"
#endif
#ifdef VORN_WINE_GUEST_DRIVER
#include "tests/wine_guest/program/guest_test_mode.h"
#endif

// The start-up code calls WinMain with C linkage and the stdcall convention.
extern "C" int __stdcall WinMain(HINSTANCE, HINSTANCE, [[maybe_unused]] char* commandLine, int) {
    // The build runs on the dialog's thread for as long as the stick takes;
    // Windows must not replace the window with a "(Not Responding)" ghost
    // whose close would end the program in the middle of a raw write.
    DisableProcessWindowsGhosting();
    platform::Win32System system;
    platform::InstallSystemServices(&system);
#ifdef VORN_WINE_TEST_DRIVER
    StartWineTestDriver();
#endif
#ifdef VORN_WINE_GUEST_DRIVER
    // The test variant of the Wine guest: its mode comes from the command line.
    return RunWineGuestTestMode(commandLine, &AfxWinMain);
#else
    return AfxWinMain();
#endif
}
