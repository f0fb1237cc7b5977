// A menu handle, here only the system menu of a window.
#pragma once

#include "framework/win_defs.h"

class CMenu {
public:
    // Appends an entry: MF_STRING with a command id and a text, or
    // MF_SEPARATOR. False when the menu could not take it.
    bool AppendMenu(UINT flags, UINT_PTR commandId = 0, const char* text = nullptr);

    HMENU m_hMenu = nullptr;
};
