// The system menu of an in-memory window.
#include "framework/headless/window_system.h"
#include "framework/menu.h"

bool CMenu::AppendMenu(UINT flags, UINT_PTR commandId, const char* text) {
    std::lock_guard lock(headless::detail::WindowsMutex());
    headless::detail::Window* window =
        headless::detail::FindWindowRecord(headless::detail::WindowOfMenu(m_hMenu));
    if (window == nullptr) return false;
    const bool separator = (flags & MF_SEPARATOR) != 0;
    window->systemMenu.push_back(
        {flags, separator ? 0 : commandId, separator || text == nullptr ? "" : text});
    return true;
}
