// What the common framework code asks of the backend it is linked with
// (win32 or headless). Not for the dialogs.
#pragma once

#include <string>

#include "framework/win_defs.h"

namespace framework::backend {

// The child window of parent with this control id, or null.
HWND FindChildWindow(HWND parent, int id);
// String resource id of the program, in UTF-8; false when there is none.
bool LoadStringResource(UINT id, std::string& text);
// The program's file name without folder and extension.
std::string DefaultApplicationName();
// Icon resource id of the program, or null.
HICON LoadIconResource(UINT id);

}  // namespace framework::backend
