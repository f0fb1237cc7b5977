// The Windows program's entry point: the real system services, then the
// application object's InitInstance. The program takes nothing from its
// command line.
#include "framework/win32/windows_include.h"

#include "framework/win_app.h"
#include "framework/win_defs.h"
#include "win32/win32_system.h"

#ifdef VORN_WINE_TEST_DRIVER
#include "tests/wine/driver/wine_test_driver.h"
#endif

// The start-up code calls WinMain with C linkage and the stdcall convention.
extern "C" int __stdcall WinMain(HINSTANCE, HINSTANCE, char*, int) {
    // The build runs on the dialog's thread for as long as the stick takes;
    // Windows must not replace the window with a "(Not Responding)" ghost
    // whose close would end the program in the middle of a raw write.
    DisableProcessWindowsGhosting();
    platform::Win32System system;
    platform::InstallSystemServices(&system);
#ifdef VORN_WINE_TEST_DRIVER
    StartWineTestDriver();
#endif
    return AfxWinMain();
}
