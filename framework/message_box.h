// Message boxes with the application's name as the caption. Modal: the
// caller waits until the operator has answered. Callable from any thread.
#pragma once

#include "framework/win_defs.h"

// type: MB_OK or MB_YESNO (optionally with icon flags). Returns the button
// pressed: IDOK, IDYES or IDNO.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
