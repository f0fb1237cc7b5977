// <windows.h> for the win32 backend files, with the A/W macros removed that
// share their names with framework members (CWnd::SendMessage and the like),
// so that the framework's declarations keep their names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef AppendMenu
#undef DefWindowProc
#undef GetWindowText
#undef LoadIcon
#undef LoadString
#undef PostMessage
#undef SendMessage
#undef SetWindowText
