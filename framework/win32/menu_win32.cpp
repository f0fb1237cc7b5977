#include "framework/win32/windows_include.h"

#include "framework/menu.h"
#include "framework/win32/text_win32.h"

bool CMenu::AppendMenu(UINT flags, UINT_PTR commandId, const char* text) {
    const std::wstring wide = Utf8ToWide(text);
    return ::AppendMenuW(m_hMenu, flags, commandId, (flags & MF_SEPARATOR) != 0 ? nullptr : wide.c_str()) != 0;
}
